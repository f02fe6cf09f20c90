#include <UIKit/UIActivityIndicatorView.h>
#include <device/journal.h>

namespace {

struct IndicatorState : uikit::ViewState {
  UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyleWhiteLarge;
  bool animating = false;
  bool hidesWhenStopped = true;
};

IndicatorState* indicator(id self) {
  return uikit::viewStateAs<IndicatorState>(self);
}

void showState(id self, IndicatorState* state) {
  send<void>(self, "setHidden:", !state->animating && state->hidesWhenStopped ? YES : NO);
}

id initWithStyle(id self, SEL, UIActivityIndicatorViewStyle style) {
  id view = send(self, "initWithFrame:", CGRect{{0, 0}, {37, 37}});
  if (IndicatorState* state = indicator(view)) {
    state->style = style;
    showState(view, state);
  }
  return view;
}
UIActivityIndicatorViewStyle style(id self, SEL) {
  IndicatorState* state = indicator(self);
  return state != nullptr ? state->style : UIActivityIndicatorViewStyleWhiteLarge;
}
void setAnimating(id self, bool on) {
  IndicatorState* state = indicator(self);
  if (state == nullptr || state->animating == on) return;
  state->animating = on;
  journal::record("indicator", {{"state", on ? "start" : "stop"}});
  showState(self, state);
}
void startAnimating(id self, SEL) {
  setAnimating(self, true);
}
void stopAnimating(id self, SEL) {
  setAnimating(self, false);
}
BOOL isAnimating(id self, SEL) {
  IndicatorState* state = indicator(self);
  return state != nullptr && state->animating ? YES : NO;
}
BOOL hidesWhenStopped(id self, SEL) {
  IndicatorState* state = indicator(self);
  return state != nullptr && state->hidesWhenStopped ? YES : NO;
}
void setHidesWhenStopped(id self, SEL, BOOL hides) {
  if (IndicatorState* state = indicator(self)) {
    state->hidesWhenStopped = hides != NO;
    showState(self, state);
  }
}

__attribute__((constructor)) void registerIndicator() {
  uikit::registerViewClasses();
  Class cls = ClassBuilder("UIActivityIndicatorView", objc_getClass("UIView"))
                  .method("initWithActivityIndicatorStyle:", initWithStyle)
                  .method("activityIndicatorViewStyle", style)
                  .method("startAnimating", startAnimating)
                  .method("stopAnimating", stopAnimating)
                  .method("isAnimating", isAnimating)
                  .method("hidesWhenStopped", hidesWhenStopped)
                  .method("setHidesWhenStopped:", setHidesWhenStopped)
                  .register_();
  uikit::registerViewState(cls,
                           [] { return std::unique_ptr<uikit::ViewState>(new IndicatorState); });
}

}  // namespace
