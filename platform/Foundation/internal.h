// Shared between the Foundation stand-in's own files.
#pragma once

#include <Foundation/ObjectState.h>

namespace ns::internal {

// Each file registers its classes; NSObject.cpp calls them in dependency order when the
// library loads.
void registerStringClasses();
void registerNumberClass();
void registerURLClass();
void registerCollectionClasses();
void registerNotificationClasses();
void registerFileManagerClass();
void registerUserDefaultsClass();
void registerErrorClass();
void registerCharacterSetClass();
void registerBundleClass();

// Forgets the journal name of an object that is going away.
void forgetJournalName(id object);

}  // namespace ns::internal
