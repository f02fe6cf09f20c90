#include <QuartzCore/CALayer.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

#include <algorithm>
#include <map>

#include "classes.h"

namespace uikit {
namespace {

using internal::addMethod;
using internal::defineIfMissing;

struct LabelState : ViewState {
  ns::Ref text;
  ns::Ref textColor;
};

struct ImageViewState : ViewState {
  ns::Ref image;
};

std::map<Class, ViewStateMaker>& stateMakers() {
  static auto* makers = new std::map<Class, ViewStateMaker>;  // lives as long as the process
  return *makers;
}

Class windowClass() {
  static Class window = objc_getClass("UIWindow");
  return window;
}

bool isWindow(id view) {
  for (Class c = object_getClass(view); c != Nil; c = class_getSuperclass(c)) {
    if (c == windowClass()) return true;
  }
  return false;
}

// --- UIView ---------------------------------------------------------------------------------

id initWithFrame(id self, SEL, CGRect frame) {
  id view = sendSuper(self, objc_getClass("UIView"), "init");
  if (ViewState* state = viewState(view)) state->frame = frame;
  return view;
}
id initView(id self, SEL) {
  return msgSend(self, sel("initWithFrame:"), CGRect{});
}

CGRect frame(id self, SEL) {
  ViewState* state = viewState(self);
  return state != nullptr ? state->frame : CGRect{};
}
void setFrame(id self, SEL, CGRect value) {
  if (ViewState* state = viewState(self)) state->frame = value;
}
CGRect bounds(id self, SEL) {
  return CGRect{{0, 0}, frame(self, nullptr).size};
}
id superview(id self, SEL) {
  ViewState* state = viewState(self);
  return state != nullptr ? state->superview : nil;
}
id window(id self, SEL) {
  return windowOf(self);
}
id subviews(id self, SEL) {
  std::vector<id> views;
  if (ViewState* state = viewState(self)) {
    for (const ns::Ref& view : state->subviews) {
      if (view) views.push_back(view);
    }
  }
  return ns::array(views);
}
BOOL isDescendantOfView(id self, SEL, id ancestor) {
  for (id view = self; view != nil; view = superview(view, nullptr)) {
    if (view == ancestor) return YES;
  }
  return NO;
}

// didMoveToWindow goes to the view first, then to the views that were below it when it moved;
// a view added during the call hears of its window from addSubview: itself.
void tellMovedToWindow(id view) {
  ViewState* state = viewState(view);
  std::vector<ns::Ref> below = state != nullptr ? subviewsOf(*state) : std::vector<ns::Ref>();
  msgSend<void>(view, sel("didMoveToWindow"));
  for (const ns::Ref& sub : below) tellMovedToWindow(sub);
}
void tellWillMoveToWindow(id view, id window) {
  msgSend<void>(view, sel("willMoveToWindow:"), window);
  ViewState* state = viewState(view);
  std::vector<ns::Ref> below = state != nullptr ? subviewsOf(*state) : std::vector<ns::Ref>();
  for (const ns::Ref& sub : below) tellWillMoveToWindow(sub, window);
}

// Puts `view` (whose state is `state`) at the front of `parent`'s subviews.
void append(ViewState& parent, id view, ViewState& state) {
  state.slot = parent.subviews.size();
  parent.subviews.push_back(ns::Ref(view));
}

// Empties the slot of a subview (`state`) in `parent`; the caller holds the view. The list is
// closed up once half of it is empty slots, so each move costs constant time on average.
void unlink(ViewState& parent, ViewState& state) {
  auto& list = parent.subviews;
  list[state.slot] = ns::Ref();
  ++parent.emptySlots;
  while (!list.empty() && !list.back()) {
    list.pop_back();
    --parent.emptySlots;
  }
  if (parent.emptySlots * 2 <= list.size()) return;
  std::vector<ns::Ref> kept;
  kept.reserve(list.size() - parent.emptySlots);
  for (ns::Ref& sub : list) {
    if (!sub) continue;
    viewState(sub)->slot = kept.size();
    kept.push_back(std::move(sub));
  }
  list = std::move(kept);
  parent.emptySlots = 0;
}

// Takes `view` out of its superview's list without telling anyone; the caller holds it.
void detach(ViewState& state) {
  if (ViewState* parent = viewState(state.superview)) unlink(*parent, state);
  state.superview = nil;
}

// Moves `view` under `newSuperview` (nil: out of any), telling it as UIKit does.
void moveView(id view, id newSuperview) {
  ViewState* state = viewState(view);
  if (state == nullptr) return;
  ns::Ref keep(view);
  id oldWindow = windowOf(view);
  id newWindow = newSuperview == nil ? nil : windowOf(newSuperview);
  bool windowChanges = oldWindow != newWindow;
  msgSend<void>(view, sel("willMoveToSuperview:"), newSuperview);
  if (windowChanges) tellWillMoveToWindow(view, newWindow);
  detach(*state);
  if (ViewState* parent = viewState(newSuperview)) {
    append(*parent, view, *state);
    state->superview = newSuperview;
  }
  if (windowChanges) tellMovedToWindow(view);
  msgSend<void>(view, sel("didMoveToSuperview"));
}

void addSubview(id self, SEL, id view) {
  ViewState* parent = viewState(self);
  ViewState* state = viewState(view);
  if (parent == nullptr || state == nullptr) return;
  if (isDescendantOfView(self, nullptr, view)) {
    ns::raise("NSInvalidArgumentException",
              view == self ? "Can't add self as subview" : "Can't add a superview as subview");
  }
  if (state->superview == self) {  // already there: to the front
    if (state->slot + 1 == parent->subviews.size()) return;
    ns::Ref keep(view);
    unlink(*parent, *state);
    append(*parent, view, *state);
    return;
  }
  moveView(view, self);
}
void removeFromSuperview(id self, SEL) {
  ViewState* state = viewState(self);
  if (state == nullptr || state->superview == nil) return;
  moveView(self, nil);
}

id layer(id self, SEL) {
  ViewState* state = viewState(self);
  return state != nullptr ? state->layer.get() : nil;
}
BOOL clipsToBounds(id self, SEL) {
  return msgSend<BOOL>(layer(self, nullptr), sel("masksToBounds"));
}
void setClipsToBounds(id self, SEL, BOOL value) {
  msgSend<void>(layer(self, nullptr), sel("setMasksToBounds:"), value);
}
UIViewContentMode contentMode(id self, SEL) {
  ViewState* state = viewState(self);
  return state != nullptr ? state->contentMode : UIViewContentModeScaleToFill;
}
void setContentMode(id self, SEL, UIViewContentMode mode) {
  if (ViewState* state = viewState(self)) state->contentMode = mode;
}
BOOL isHidden(id self, SEL) {
  ViewState* state = viewState(self);
  return state != nullptr && state->hidden ? YES : NO;
}
void setHidden(id self, SEL, BOOL value) {
  if (ViewState* state = viewState(self)) state->hidden = value != NO;
}
id backgroundColor(id self, SEL) {
  ViewState* state = viewState(self);
  return state != nullptr ? state->backgroundColor.get() : nil;
}
void setBackgroundColor(id self, SEL, id color) {
  if (ViewState* state = viewState(self)) state->backgroundColor = ns::Ref(color);
}
void noMove(id, SEL) {}
void noMoveTo(id, SEL, id) {}

// The subviews go with the view; they are no longer below anything.
void deallocView(id self, SEL) {
  if (ViewState* state = viewState(self)) {
    for (const ns::Ref& sub : state->subviews) {
      if (ViewState* child = sub ? viewState(sub) : nullptr) child->superview = nil;
    }
  }
  sendSuper<void>(self, objc_getClass("UIView"), "dealloc");
}

id windowSelf(id self, SEL) {
  return self;
}

// --- UILabel, UIImageView -------------------------------------------------------------------

id labelText(id self, SEL) {
  LabelState* state = viewStateAs<LabelState>(self);
  return state != nullptr ? state->text.get() : nil;
}
void setLabelText(id self, SEL, id text) {
  if (LabelState* state = viewStateAs<LabelState>(self)) {
    state->text = ns::Ref::adopt(msgSend(text, sel("copy")));
  }
}
id labelTextColor(id self, SEL) {
  LabelState* state = viewStateAs<LabelState>(self);
  if (state == nullptr) return nil;
  return state->textColor ? state->textColor.get()
                          : msgSend(objc_getClass("UIColor"), sel("blackColor"));
}
void setLabelTextColor(id self, SEL, id color) {
  if (LabelState* state = viewStateAs<LabelState>(self)) state->textColor = ns::Ref(color);
}

id initWithImage(id self, SEL, id image) {
  CGSize size = image != nil ? msgSend<CGSize>(image, sel("size")) : CGSize{0, 0};
  id view = msgSend(self, sel("initWithFrame:"), CGRect{{0, 0}, size});
  if (ImageViewState* state = viewStateAs<ImageViewState>(view)) state->image = ns::Ref(image);
  return view;
}
id image(id self, SEL) {
  ImageViewState* state = viewStateAs<ImageViewState>(self);
  return state != nullptr ? state->image.get() : nil;
}
void setImage(id self, SEL, id value) {
  if (ImageViewState* state = viewStateAs<ImageViewState>(self)) state->image = ns::Ref(value);
}

// --- registration ---------------------------------------------------------------------------

__attribute__((constructor)) void loadViewClasses() {
  registerViewClasses();
}

}  // namespace

ViewState* viewState(id view) {
  if (view == nil) return nullptr;
  ns::ObjectState* slot = ns::objectState(view);
  if (slot != nullptr) return dynamic_cast<ViewState*>(slot);
  std::unique_ptr<ViewState> fresh;
  for (Class c = object_getClass(view); c != Nil && !fresh; c = class_getSuperclass(c)) {
    auto found = stateMakers().find(c);
    if (found != stateMakers().end()) fresh = found->second();
  }
  if (!fresh) fresh = std::make_unique<ViewState>();
  fresh->layer = ns::Ref::adopt(msgSend(objc_getClass("CALayer"), sel("new")));
  ViewState* state = fresh.get();
  ns::setObjectState(view, std::move(fresh));
  return state;
}

std::vector<ns::Ref> subviewsOf(const ViewState& state) {
  std::vector<ns::Ref> views;
  views.reserve(state.subviews.size() - state.emptySlots);
  for (const ns::Ref& view : state.subviews) {
    if (view) views.push_back(view);
  }
  return views;
}

void registerViewState(Class cls, ViewStateMaker make) {
  if (cls != Nil) stateMakers()[cls] = make;
}

id windowOf(id view) {
  for (id up = view; up != nil; up = superview(up, nullptr)) {
    if (isWindow(up)) return up;
  }
  return nil;
}

void registerViewClasses() {
  static const bool done = [] {
    quartzcore::registerLayerClass();
    registerViewControllerClasses();  // UIResponder
    Class view = defineIfMissing("UIView", objc_getClass("UIResponder"));
    addMethod(view, "init", initView);
    addMethod(view, "initWithFrame:", initWithFrame);
    addMethod(view, "frame", frame);
    addMethod(view, "setFrame:", setFrame);
    addMethod(view, "bounds", bounds);
    addMethod(view, "superview", superview);
    addMethod(view, "window", window);
    addMethod(view, "subviews", subviews);
    addMethod(view, "isDescendantOfView:", isDescendantOfView);
    addMethod(view, "addSubview:", addSubview);
    addMethod(view, "removeFromSuperview", removeFromSuperview);
    addMethod(view, "layer", layer);
    addMethod(view, "clipsToBounds", clipsToBounds);
    addMethod(view, "setClipsToBounds:", setClipsToBounds);
    addMethod(view, "contentMode", contentMode);
    addMethod(view, "setContentMode:", setContentMode);
    addMethod(view, "isHidden", isHidden);
    addMethod(view, "setHidden:", setHidden);
    addMethod(view, "backgroundColor", backgroundColor);
    addMethod(view, "setBackgroundColor:", setBackgroundColor);
    addMethod(view, "willMoveToSuperview:", noMoveTo);
    addMethod(view, "willMoveToWindow:", noMoveTo);
    addMethod(view, "didMoveToSuperview", noMove);
    addMethod(view, "didMoveToWindow", noMove);
    addMethod(view, "dealloc", deallocView);

    Class window = defineIfMissing("UIWindow", view);
    addMethod(window, "window", windowSelf);

    Class label = defineIfMissing("UILabel", view);
    registerViewState(label, makeViewState<LabelState>);
    addMethod(label, "text", labelText);
    addMethod(label, "setText:", setLabelText);
    addMethod(label, "textColor", labelTextColor);
    addMethod(label, "setTextColor:", setLabelTextColor);

    Class imageView = defineIfMissing("UIImageView", view);
    registerViewState(imageView, makeViewState<ImageViewState>);
    addMethod(imageView, "initWithImage:", initWithImage);
    addMethod(imageView, "image", image);
    addMethod(imageView, "setImage:", setImage);
    return true;
  }();
  (void)done;
}

}  // namespace uikit
