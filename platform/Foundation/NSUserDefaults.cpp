// NSUserDefaults' named domains: one property-list file per domain under
// /var/mobile/Library/Preferences/, as the settings host keeps them on the device.
//
// -synchronize answers whether every store since the last synchronize reached the disk (NO
// when any failed), as the device answers whether its changes could be saved.
//
// Journal: setObject:forKey:inDomain: records "defaults" {domain, key, value}, the value as
// ns::toJson shows it (data as {bytes, format}); null when the key is removed.
#include <Foundation/DefaultsJournal.h>
#include <Foundation/ObjectState.h>
#include <device/device.h>
#include <device/journal.h>

#include <atomic>

#include "internal.h"

namespace ns {
namespace {

thread_local int storesJournalledByCaller = 0;
std::atomic<bool> unsavedStore{false};  // a store failed since the last synchronize

std::string domainFile(id domain) {
  return device::hostPath("/var/mobile/Library/Preferences/" + utf8(domain) + ".plist");
}

id standardUserDefaults(id, SEL) {
  static id defaults = makeImmortal(msgSend(objc_getClass("NSUserDefaults"), sel("new")));
  return defaults;
}

id objectForKeyInDomain(id, SEL, id key, id domain) {
  if (key == nil || domain == nil || utf8(domain).empty()) return nil;
  id root = readPlist(domainFile(domain));
  if (root == nil || !isKindOf(root, "NSDictionary")) return nil;
  return msgSend(root, sel("objectForKey:"), key);
}

// Storing nil removes the key. As on the device the caller hears nothing of a failure; the
// journal does.
void setObjectForKeyInDomain(id, SEL, id value, id key, id domain) {
  if (key == nil || domain == nil || utf8(domain).empty()) return;
  if (storesJournalledByCaller == 0) {
    journal::record("defaults",
                    {{"domain", utf8(domain)}, {"key", utf8(key)}, {"value", toJson(value)}});
  }
  PlistUpdate outcome;
  updatePlistDictionary(
      domainFile(domain),
      [&](id dictionary) { msgSend<void>(dictionary, sel("setObject:forKey:"), value, key); },
      &outcome);
  recordPlistUpdate(domainFile(domain), utf8(key), outcome);
  if (!outcome.failure.empty()) unsavedStore = true;
}

BOOL synchronize(id, SEL) {
  return unsavedStore.exchange(false) ? NO : YES;
}

}  // namespace

StoreJournalledByCaller::StoreJournalledByCaller() {
  ++storesJournalledByCaller;
}
StoreJournalledByCaller::~StoreJournalledByCaller() {
  --storesJournalledByCaller;
}

void internal::registerUserDefaultsClass() {
  ClassBuilder("NSUserDefaults", rootClass())
      .classMethod("standardUserDefaults", standardUserDefaults)
      .method("objectForKey:inDomain:", objectForKeyInDomain)
      .method("setObject:forKey:inDomain:", setObjectForKeyInDomain)
      .method("synchronize", synchronize)
      .register_();
}

}  // namespace ns
