// Keyboard, passcode and volume sounds: one handler shape for eight hooks. The host's own method
// runs first with every argument as received, then the event's sound plays if its switch is on.
#include <CoreGraphics/CoreGraphics.h>

#include "hooks.h"
#include "sound_player.h"

namespace {

// Holds the object arguments of a call for as long as the handler runs.
class HeldArguments {
 public:
  template <typename... Args>
  explicit HeldArguments(Args... args) {
    (hold(args), ...);
  }
  ~HeldArguments() {
    for (int i = 0; i < count_; ++i) send<void>(objects_[i], "release");
  }
  HeldArguments(const HeldArguments&) = delete;
  HeldArguments& operator=(const HeldArguments&) = delete;

 private:
  void hold(id object) { objects_[count_++] = send(object, "retain"); }
  void hold(CGPoint) {}

  id objects_[2] = {};
  int count_ = 0;
};

template <HookRow Row, BOOL TweakSettingsRecord::*Setting, SoundEvent Event, typename... Args>
void playAfterHost(id self, SEL cmd, Args... args) {
  HeldArguments held(args...);
  callSaved(Row, self, cmd, args...);
  if (TweakSettings.*Setting) playEventSound(Event);
}

template <HookRow Row, BOOL TweakSettingsRecord::*Setting, SoundEvent Event, typename... Args>
IMP member() {
  return reinterpret_cast<IMP>(playAfterHost<Row, Setting, Event, Args...>);
}

}  // namespace

IMP eventFamilyHandler(HookRow row) {
  using T = TweakSettingsRecord;
  switch (row) {
    case kHookKeyTouchDown:
      return member<kHookKeyTouchDown, &T::customKeyboard, SoundEvent::Keyboard, id, CGPoint, id>();
    case kHookDeleteBackward:
      return member<kHookDeleteBackward, &T::customKeyboard, SoundEvent::Keyboard>();
    case kHookPadTouchDown:
      return member<kHookPadTouchDown, &T::customPasscode, SoundEvent::Passcode, id, id>();
    case kHookPadTouchCancelled:
      return member<kHookPadTouchCancelled, &T::customPasscode, SoundEvent::Passcode, id, id>();
    case kHookPadBackspace:
      return member<kHookPadBackspace, &T::customPasscode, SoundEvent::Passcode>();
    case kHookPadCancel:
      return member<kHookPadCancel, &T::customPasscode, SoundEvent::Passcode>();
    case kHookVolumeUp:
      return member<kHookVolumeUp, &T::customVolume, SoundEvent::Volume>();
    case kHookVolumeDown:
      return member<kHookVolumeDown, &T::customVolume, SoundEvent::Volume>();
    default:
      return nullptr;
  }
}
