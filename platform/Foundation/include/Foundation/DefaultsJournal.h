// For the Preferences framework stand-in only: a store it journals itself.
//
// NSUserDefaults journals every value it stores as "defaults". The Preferences framework's own
// writes (setPreferenceValue:specifier:) are already journalled as its "store" entry; while a
// StoreJournalledByCaller is alive on a thread, NSUserDefaults leaves out its "defaults" entry
// for stores made on that thread. What went wrong ("store-failed", "kept-aside") is journalled
// all the same.
#pragma once

namespace ns {

class StoreJournalledByCaller {
 public:
  StoreJournalledByCaller();
  ~StoreJournalledByCaller();
  StoreJournalledByCaller(const StoreJournalledByCaller&) = delete;
  StoreJournalledByCaller& operator=(const StoreJournalledByCaller&) = delete;
};

}  // namespace ns
