// MSHookMessageEx over the runtime: every case the hooking layer documents.
#include <Foundation/Foundation.h>
#include <gtest/gtest.h>
#include <substrate.h>

#include "fresh_process.h"

namespace {

using testing_support::inFreshProcess;

std::string said;
void baseSpeak(id, SEL) {
  said += "base ";
}
void childSpeak(id, SEL) {
  said += "child ";
}
void hookSpeak(id, SEL) {
  said += "hook ";
}
void otherHook(id, SEL) {
  said += "other ";
}

// Base defines speak; Child inherits it; Own defines its own; Sibling inherits from Base too.
void buildClasses() {
  Class base =
      ClassBuilder("Base", ns::classNamed("NSObject")).method("speak", baseSpeak).register_();
  ClassBuilder("Child", base).register_();
  ClassBuilder("Own", base).method("speak", childSpeak).register_();
  ClassBuilder("Sibling", base).register_();
}

void speak(const char* className) {
  id object = ns::autorelease(send(cls(className), "new"));
  send<void>(object, "speak");
}

TEST(MSHookMessageEx, ReplacesAMethodTheClassDefinesAndReportsTheOldOne) {
  auto run = inFreshProcess([] {
    buildClasses();
    IMP old = nullptr;
    MSHookMessageEx(objc_getClass("Own"), sel("speak"), reinterpret_cast<IMP>(hookSpeak), &old);
    EXPECT_EQ(old, reinterpret_cast<IMP>(childSpeak));
    said.clear();
    speak("Own");
    speak("Base");
    speak("Sibling");
    EXPECT_EQ(said, "hook base base ");
  });
  EXPECT_EQ(run.failure, "");
  ASSERT_EQ(run.ofKind("hook").size(), 1u);
  EXPECT_EQ(run.ofKind("hook")[0]["class"], "Own");
}

TEST(MSHookMessageEx, AddsAnInheritedMethodToTheSubclassAndLeavesTheSuperclassAlone) {
  auto run = inFreshProcess([] {
    buildClasses();
    IMP old = nullptr;
    MSHookMessageEx(objc_getClass("Child"), sel("speak"), reinterpret_cast<IMP>(hookSpeak), &old);
    EXPECT_EQ(old, reinterpret_cast<IMP>(baseSpeak));
    said.clear();
    speak("Child");
    speak("Base");
    speak("Sibling");
    EXPECT_EQ(said, "hook base base ");
  });
  EXPECT_EQ(run.failure, "");
  EXPECT_EQ(run.ofKind("hook").size(), 1u);
  EXPECT_TRUE(run.ofKind("add-method").empty())
      << "the hook's own addition is not a separate effect";
}

TEST(MSHookMessageEx, HookingTwiceChainsTheReplacements) {
  auto run = inFreshProcess([] {
    buildClasses();
    IMP first = nullptr;
    IMP second = nullptr;
    MSHookMessageEx(objc_getClass("Base"), sel("speak"), reinterpret_cast<IMP>(hookSpeak), &first);
    MSHookMessageEx(objc_getClass("Base"), sel("speak"), reinterpret_cast<IMP>(otherHook), &second);
    EXPECT_EQ(first, reinterpret_cast<IMP>(baseSpeak));
    EXPECT_EQ(second, reinterpret_cast<IMP>(hookSpeak));
    said.clear();
    speak("Child");
    EXPECT_EQ(said, "other ");
  });
  EXPECT_EQ(run.failure, "");
}

TEST(MSHookMessageEx, ANilClassOrAnUnknownSelectorChangesNothing) {
  auto run = inFreshProcess([] {
    buildClasses();
    IMP slot = reinterpret_cast<IMP>(&baseSpeak);
    MSHookMessageEx(Nil, sel("speak"), reinterpret_cast<IMP>(hookSpeak), &slot);
    MSHookMessageEx(objc_getClass("Base"), sel("shout"), reinterpret_cast<IMP>(hookSpeak), &slot);
    MSHookMessageEx(objc_getClass("Base"), nullptr, reinterpret_cast<IMP>(hookSpeak), &slot);
    MSHookMessageEx(objc_getClass("Base"), sel("speak"), nullptr, &slot);
    EXPECT_EQ(slot, reinterpret_cast<IMP>(&baseSpeak));
    EXPECT_FALSE(class_respondsToSelector(objc_getClass("Base"), sel("shout")));
    said.clear();
    speak("Base");
    EXPECT_EQ(said, "base ");
    // A null result slot is allowed.
    MSHookMessageEx(objc_getClass("Base"), sel("speak"), reinterpret_cast<IMP>(hookSpeak), nullptr);
    speak("Base");
    EXPECT_EQ(said, "base hook ");
  });
  EXPECT_EQ(run.failure, "");
  EXPECT_EQ(run.ofKind("hook-failed").size(), 4u);
  EXPECT_EQ(run.ofKind("hook").size(), 1u);
}

// A class used for the first time after a hook on another class must not see that hook.
TEST(MSHookMessageEx, AHookNeverLeaksIntoClassesNotYetUsed) {
  auto run = inFreshProcess([] {
    buildClasses();
    MSHookMessageEx(objc_getClass("Own"), sel("speak"), reinterpret_cast<IMP>(hookSpeak), nullptr);
    MSHookMessageEx(objc_getClass("Own"), sel("init"), reinterpret_cast<IMP>(otherHook), nullptr);
    said.clear();
    speak("Sibling");  // first use of Sibling, and of its init, after the hooks
    speak("Child");
    EXPECT_EQ(said, "base base ");
  });
  EXPECT_EQ(run.failure, "");
}

TEST(AddedMethods, AreRecordedOnlyForClassesAlreadyInUse) {
  auto run = inFreshProcess([] {
    buildClasses();
    class_addMethod(objc_getClass("Base"), sel("whisper"), reinterpret_cast<IMP>(hookSpeak), "v@:");
    class_addMethod(objc_getClass("Base"), sel("speak"), reinterpret_cast<IMP>(hookSpeak), "v@:");
    class_addMethod(Nil, sel("x"), reinterpret_cast<IMP>(hookSpeak), "v@:");
  });
  EXPECT_EQ(run.failure, "");
  auto added = run.ofKind("add-method");
  ASSERT_EQ(added.size(), 1u);  // building the classes, the existing method and Nil are not
  EXPECT_EQ(added[0]["class"], "Base");
  EXPECT_EQ(added[0]["selector"], "whisper");
  EXPECT_EQ(added[0]["types"], "v@:");
}

}  // namespace
