// The method-hooking library's compatibility call, as tweaks use it.
//
// Mirrors: MSHookMessageEx from libsubstrate (Cydia Substrate, and the substitute and ElleKit
// layers that answer the same call). A thin layer over the object runtime.
//
// MSHookMessageEx(cls, selector, replacement, result):
//   - `cls` defines `selector` itself: the method's implementation becomes `replacement`, and the
//     one in effect before is written to *result. Hooking the same method again chains: the
//     second hook's *result is the first replacement.
//   - `cls` only inherits `selector`: a method is added to `cls` with `replacement` and the type
//     of the inherited one; *result gets the superclass's implementation as it is at hook time
//     (the original library looks it up at every call). The superclass is not touched.
//   - `cls`, `selector` or `replacement` is null, or neither `cls` nor any superclass answers
//     `selector`: nothing changes and *result is left as it was (the real library logs a
//     warning; here the journal records "hook-failed").
//   - `result` may be null: the hook is installed and the old implementation is not reported.
// Every hook installed is recorded in the journal as "hook" {class, selector}.
//
// Methods that anyone adds with class_addMethod to a class already registered are recorded too,
// as "add-method" {class, selector, types}: the library watches the runtime call, as a hooking
// library's loader can.
#pragma once

#include <objc/runtime.h>

extern "C" void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP* result);
