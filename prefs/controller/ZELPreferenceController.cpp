#include <pkprefs3/ZELPreferenceController.h>

#include <Preferences/PSSpecifier.h>
#include <UIKit/UIAlertController.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "row_table.h"

namespace {

// Where each row first stands in `_allSpecifiers`, so that a run is found without a search
// through the list; rebuilt whenever `_allSpecifiers` is replaced.
struct RunIndex {
  id list = nil;  // the `_allSpecifiers` array the positions were taken from; not retained
  RowPositions firstPositions;
  NSUInteger depth = 0;  // removeDisabledGroups: calls in progress
  // The outermost walk's copy of its rows and its set of removed rows, kept from one walk to
  // the next: on a long list, taking and giving back blocks that large at every opening of the
  // pane makes the allocator return the memory to the system and fault it in again.
  std::vector<id> outerRows;
  RowSet outerRemoved;
};

Class controllerClass = Nil;
ptrdiff_t allSpecifiersOffset = 0;
ptrdiff_t runIndexOffset = 0;

id& allSpecifiers(id self) {
  return *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + allSpecifiersOffset);
}

RunIndex& runIndex(id self) {
  auto& slot = *reinterpret_cast<RunIndex**>(reinterpret_cast<char*>(self) + runIndexOffset);
  if (slot == nullptr) slot = new RunIndex;
  return *slot;
}

// Selectors of the messages sent once per row, looked up once.
struct Selectors {
  SEL count = sel("count");
  SEL objectAtIndex = sel("objectAtIndex:");
  SEL properties = sel("properties");
  SEL objectForKey = sel("objectForKey:");
  SEL respondsToSelector = sel("respondsToSelector:");
  SEL boolValue = sel("boolValue");
  SEL intValue = sel("intValue");
  SEL readPreferenceValue = sel("readPreferenceValue:");
  SEL removeDisabledGroups = sel("removeDisabledGroups:");
  SEL addObject = sel("addObject:");
  SEL array = sel("array");
  SEL getObjectsRange = sel("getObjects:range:");
  SEL arrayWithObjectsCount = sel("arrayWithObjects:count:");
  id mutableArrayClass = cls("NSMutableArray");
};
const Selectors& selectors() {
  static const Selectors s;
  return s;
}

bool readsOn(id value) {
  const Selectors& s = selectors();
  return value != nil && msgSend<BOOL>(value, s.respondsToSelector, s.boolValue) &&
         msgSend<BOOL>(value, s.boolValue) != NO;
}

id attribute(id row, id key) {
  const Selectors& s = selectors();
  return msgSend(msgSend(row, s.properties), s.objectForKey, key);
}

// The row's `nestedEntryCount`: nothing when it has none (an ordinary row), 0 when the value
// is not a number.
std::optional<int> nestedEntryCount(id row) {
  const Selectors& s = selectors();
  id count = attribute(row, NSSTR("nestedEntryCount"));
  if (count == nil) return std::nullopt;
  if (!msgSend<BOOL>(count, s.respondsToSelector, s.intValue)) return 0;
  return msgSend<int>(count, s.intValue);
}

// Rows `start` to `start + length` of `list`, taken in one message; a short run stays on the
// stack, a long one goes to `storage` when given.
class RowsOf {
 public:
  RowsOf(id list, NSUInteger start, NSUInteger length, std::vector<id>* storage = nullptr) {
    if (length > std::size(local_)) {
      if (storage == nullptr) storage = &large_;
      storage->resize(length);
      rows_ = storage->data();
    }
    msgSend<void>(list, selectors().getObjectsRange, rows_, NSRange{start, length});
  }
  RowsOf(const RowsOf&) = delete;
  RowsOf& operator=(const RowsOf&) = delete;
  const id* data() const { return rows_; }
  id operator[](NSUInteger i) const { return rows_[i]; }

 private:
  id local_[16];
  std::vector<id> large_;
  id* rows_ = local_;
};

// The rows that `owner` owns: a fresh mutable copy of the `count` rows that follow the owner's
// first position in `_allSpecifiers`, clipped to the list.
id nestedRun(id self, id owner, int count) {
  const Selectors& s = selectors();
  id all = allSpecifiers(self);
  auto none = [&] { return msgSend(s.mutableArrayClass, s.array); };
  if (count <= 0 || all == nil) return none();
  RunIndex& index = runIndex(self);
  NSUInteger total = msgSend<NSUInteger>(all, s.count);
  if (index.list != all) {
    index.firstPositions.reset(total);
    // insert keeps the first position of a row that stands in the list twice.
    for (NSUInteger i = 0; i < total; ++i)
      index.firstPositions.insert(msgSend(all, s.objectAtIndex, i), i);
    index.list = all;
  }
  std::optional<NSUInteger> position = index.firstPositions.find(owner);
  if (!position) return none();
  NSUInteger start = *position + 1;
  NSUInteger length = std::min<NSUInteger>(static_cast<NSUInteger>(count), total - start);
  if (length == 0) return none();
  // Copied straight into the new array: a long list has a run for every off owner.
  RowsOf part(all, start, length);
  return msgSend(s.mutableArrayClass, s.arrayWithObjectsCount, part.data(), length);
}

// --- the controller's methods ------------------------------------------------------------

void applyModificationsToSpecifiers(id self, SEL, id rows) {
  id previous = allSpecifiers(self);
  allSpecifiers(self) = send(rows, "copy");
  send<void>(previous, "release");
  runIndex(self).list = nil;
  msgSend<void>(self, selectors().removeDisabledGroups, rows);
}

void removeDisabledGroups(id self, SEL, id rows) {
  const Selectors& s = selectors();
  NSUInteger count = msgSend<NSUInteger>(rows, s.count);
  if (count == 0) return;
  RunIndex& index = runIndex(self);
  // A well-formed list nests no deeper than it has rows; a row list that names the same row
  // object twice could otherwise make runs contain each other without end.
  NSUInteger depthLimit = msgSend<NSUInteger>(allSpecifiers(self), s.count) + 1;
  ++index.depth;

  bool outermost = index.depth == 1;
  RowsOf walked(rows, 0, count, outermost ? &index.outerRows : nullptr);

  // Removals are collected and made once the walk is over: they only concern rows already
  // walked, and a single pass keeps a long list from being searched once per owner.
  RowSet inner;
  RowSet& removed = outermost ? index.outerRemoved : inner;
  if (outermost) {
    removed.reset(count);
  } else {
    removed.expect(count);
  }
  for (NSUInteger i = count; i-- > 0;) {
    id row = walked[i];
    fetchAhead(walked.data(), i);
    if (removed.contains(row)) continue;
    std::optional<int> owned = nestedEntryCount(row);
    if (!owned) continue;
    // What one owner autoreleases (the value read, its run, the runs inside) goes as soon as
    // the owner is done: on a long list, thousands of runs would otherwise wait for the walk's
    // end and every new one would take memory the cache has long lost.
    AutoreleasePoolScope turn;
    if (readsOn(msgSend(self, s.readPreferenceValue, row))) continue;
    id run = nestedRun(self, row, *owned);
    NSUInteger runCount = msgSend<NSUInteger>(run, s.count);
    for (NSUInteger j = 0; j < runCount; ++j) {
      if (nestedEntryCount(msgSend(run, s.objectAtIndex, j))) {
        if (index.depth <= depthLimit) msgSend<void>(self, s.removeDisabledGroups, run);
        runCount = msgSend<NSUInteger>(run, s.count);
        break;
      }
    }
    RowsOf hidden(run, 0, runCount);
    for (NSUInteger j = 0; j < runCount; ++j) removed.insert(hidden[j]);
  }
  --index.depth;

  if (removed.empty() || !send<BOOL>(rows, "respondsToSelector:", sel("removeAllObjects"))) {
    return;
  }
  id kept = send(cls("NSMutableArray"), "arrayWithCapacity:", count);
  for (NSUInteger i = 0; i < count; ++i) {
    if (!removed.contains(walked[i])) msgSend<void>(kept, s.addObject, walked[i]);
  }
  send<void>(rows, "removeAllObjects");
  send<void>(rows, "addObjectsFromArray:", kept);
}

// The alert's message when the running version is outside the row's bounds; nil when inside.
id unsupportedMessage(id minimum, id maximum) {
  id utils = cls("ZELDeviceUtils");
  id format = nil;
  if (minimum != nil && maximum != nil) {
    if (send<BOOL>(utils, "isSystemVersionGreaterThanOrEqualTo:", minimum) &&
        send<BOOL>(utils, "isSystemVersionLessThanOrEqualTo:", maximum)) {
      return nil;
    }
    format = NSSTR(
        "This feature is only supported on iOS %@ to %@. Support for more versions may be added "
        "in the future.");
    return sendVariadic(cls("NSString"), "stringWithFormat:", format, minimum, maximum);
  }
  if (minimum != nil) {
    if (send<BOOL>(utils, "isSystemVersionGreaterThanOrEqualTo:", minimum)) return nil;
    format = NSSTR("This feature is only supported on iOS %@ and higher.");
    return sendVariadic(cls("NSString"), "stringWithFormat:", format, minimum);
  }
  if (send<BOOL>(utils, "isSystemVersionLessThanOrEqualTo:", maximum)) return nil;
  format = NSSTR(
      "This feature is only supported on iOS %@ and lower. Support for more versions may be "
      "added in the future.");
  return sendVariadic(cls("NSString"), "stringWithFormat:", format, maximum);
}

void refuse(id self, id row, id message) {
  id alert = send(cls("UIAlertController"),
                  "alertControllerWithTitle:message:preferredStyle:", NSSTR("Unsupported"), message,
                  UIAlertControllerStyleAlert);
  id close = send(cls("UIAlertAction"), "actionWithTitle:style:handler:", NSSTR("Close"),
                  UIAlertActionStyleCancel, id{nil});
  send<void>(alert, "addAction:", close);
  send<void>(self, "presentViewController:animated:completion:", alert, YES, id{nil});
  // Sent to self, so that the most derived override stores off and hides the run.
  send<void>(self, "setPreferenceValue:specifier:", send(cls("NSNumber"), "numberWithBool:", NO),
             row);
  send<void>(self, "reloadSpecifier:animated:", row, YES);
}

void setPreferenceValue(id self, SEL, id value, id row) {
  sendSuper<void>(self, controllerClass, "setPreferenceValue:specifier:", value, row);
  if (send<PSCellType>(row, "cellType") != PSSwitchCell) return;
  bool on = readsOn(value);
  id minimum = attribute(row, NSSTR("minimumVersion"));
  id maximum = attribute(row, NSSTR("maximumVersion"));
  if (on && (minimum != nil || maximum != nil)) {
    if (id message = unsupportedMessage(minimum, maximum)) {
      refuse(self, row, message);
      return;
    }
  }
  std::optional<int> owned = nestedEntryCount(row);
  if (!owned) return;
  id run = nestedRun(self, row, *owned);
  send<void>(self, "removeDisabledGroups:", run);
  if (on) {
    send<void>(self, "insertContiguousSpecifiers:afterSpecifier:animated:", run, row, YES);
  } else {
    send<void>(self, "removeContiguousSpecifiers:animated:", run, YES);
  }
}

void deallocController(id self, SEL) {
  send<void>(allSpecifiers(self), "release");
  allSpecifiers(self) = nil;
  auto& slot = *reinterpret_cast<RunIndex**>(reinterpret_cast<char*>(self) + runIndexOffset);
  delete slot;
  slot = nullptr;
  sendSuper<void>(self, controllerClass, "dealloc");
}

__attribute__((constructor)) void registerPreferenceController() {
  Class base = objc_getClass("PSListController");
  if (base == Nil) return;
  ClassBuilder builder("ZELPreferenceController", base);
  if (!builder) return;  // already registered
  builder.ivar("_allSpecifiers", sizeof(id), 3, "@")
      .ivar("_runIndex", sizeof(void*), 3, "^v")
      .method("applyModificationsToSpecifiers:", applyModificationsToSpecifiers)
      .method("removeDisabledGroups:", removeDisabledGroups)
      .method("setPreferenceValue:specifier:", setPreferenceValue)
      .method("dealloc", deallocController);
  controllerClass = builder.register_();
  allSpecifiersOffset =
      ivar_getOffset(class_getInstanceVariable(controllerClass, "_allSpecifiers"));
  runIndexOffset = ivar_getOffset(class_getInstanceVariable(controllerClass, "_runIndex"));
}

}  // namespace

Class ZELPreferenceController::runtimeClass() {
  return objc_getClass("ZELPreferenceController");
}
