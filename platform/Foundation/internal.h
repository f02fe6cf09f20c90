// Shared between the Foundation stand-in's own files.
#pragma once

#include <Foundation/ObjectState.h>

namespace ns::internal {

// Each file registers its classes; NSObject.cpp calls them in dependency order when the
// library loads.
void registerStringClasses();
void registerNumberClass();
void registerURLClass();
void registerArrayClasses();
void registerDictionaryClasses();
void registerDataClass();
void registerNotificationClasses();
void registerFileManagerClass();
void registerUserDefaultsClass();
void registerErrorClass();
void registerCharacterSetClass();
void registerBundleClass();

// The hash dictionaries find string keys by.
size_t textHash(std::string_view text);

// The text of an NSString and its textHash (kept with the string once worked out); null for
// anything else.
const std::string* keyText(id object, size_t& hash);

// Whether two members of an array or dictionary are the same object or equal by -isEqual:.
inline bool equal(id a, id b) {
  static const SEL isEqual = sel("isEqual:");
  return a == b || (a != nil && msgSend<BOOL>(a, isEqual, b));
}

// A new NSMutableDictionary (retain count 1) with room for `capacity` entries.
id newMutableDictionary(size_t capacity);

// Forgets the journal name of an object that is going away.
void forgetJournalName(id object);

}  // namespace ns::internal
