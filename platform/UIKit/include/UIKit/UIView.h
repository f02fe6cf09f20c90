// UIView, UIWindow, UILabel and UIImageView: the view tree the settings host builds and the
// product's cells live in.
//
// Mirrors: UIView -initWithFrame:, -init, -frame / -setFrame:, -bounds, -superview, -window,
// -subviews, -addSubview:, -removeFromSuperview, -isDescendantOfView:, -layer, -clipsToBounds /
// -setClipsToBounds:, -contentMode / -setContentMode:, -isHidden / -setHidden:,
// -backgroundColor / -setBackgroundColor:, and the hooks -willMoveToSuperview:,
// -willMoveToWindow:, -didMoveToSuperview, -didMoveToWindow that subclasses override. UIWindow
// (a UIView that is its own window). UILabel -text / -setText: (copied), -textColor /
// -setTextColor:. UIImageView -initWithImage:, -initWithFrame:, -image / -setImage:.
// The classes descend NSObject <- UIResponder <- UIView, as in UIKit; a host that built UIView
// itself before this library loaded keeps its class, and the methods are added to it.
//
// Faithful:
// - -init is -initWithFrame: with a zero frame, so a subclass's initWithFrame: runs for both.
// - A view's window is the UIWindow at the top of its superview chain, else nil. A subview
//   follows its superview into and out of a window.
// - addSubview: retains the view and takes it from its old superview; removeFromSuperview
//   releases it. When a view's superview changes the platform sends it, in this order,
//   willMoveToSuperview:, willMoveToWindow: (only when its window changes), didMoveToWindow (to
//   the view, then to every view below it, only when its window changes) and
//   didMoveToSuperview. Adding a view to its own superview again only brings it to the front
//   (in constant time: a table of many cells pays nothing for a cell already in it).
//   Adding a view to itself or to a view below it raises NSInvalidArgumentException.
// - clipsToBounds is the layer's masksToBounds: one flag.
// - -[UIImageView initWithImage:] sizes the view to the image's size in points, at (0, 0).
// - Initial values: contentMode 0 (UIViewContentModeScaleToFill), clipsToBounds NO, not hidden,
//   no background colour; a label's text nil and its text colour black.
// Simplified: nothing is drawn or laid out; a frame is only kept; no gesture or event handling.
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/ObjectState.h>

#include <memory>
#include <vector>

typedef NSInteger UIViewContentMode;
constexpr UIViewContentMode UIViewContentModeScaleToFill = 0;
constexpr UIViewContentMode UIViewContentModeScaleAspectFit = 1;
constexpr UIViewContentMode UIViewContentModeScaleAspectFill = 2;
constexpr UIViewContentMode UIViewContentModeRedraw = 3;
constexpr UIViewContentMode UIViewContentModeCenter = 4;

namespace uikit {

// For stand-ins: the state every view carries in its state slot. UIKit's own view classes with
// more to keep (UILabel, UIImageView, UITableViewCell) extend it.
struct ViewState : ns::ObjectState {
  CGRect frame{};
  id superview = nil;  // not retained: the superview retains this view
  // The subviews, back to front, with an empty slot where one left: a view moves to the front or
  // out in constant time however many siblings it has. Read them with subviewsOf().
  std::vector<ns::Ref> subviews;
  size_t emptySlots = 0;  // empty slots in `subviews`
  size_t slot = 0;        // this view's slot in its superview's `subviews`
  ns::Ref layer;          // a CALayer, made with the view
  UIViewContentMode contentMode = UIViewContentModeScaleToFill;
  bool hidden = false;
  ns::Ref backgroundColor;
};

// The state of a view, made at its first use in the kind its class was registered with (the
// nearest registered class up its superclass chain; plain ViewState otherwise). Null for nil or
// for an object whose state slot holds something else.
ViewState* viewState(id view);
template <typename T>
T* viewStateAs(id view) {
  return dynamic_cast<T*>(viewState(view));
}

// For stand-ins that define view classes with state of their own: instances of `cls` and its
// subclasses get the state `make` answers.
using ViewStateMaker = std::unique_ptr<ViewState> (*)();
void registerViewState(Class cls, ViewStateMaker make);
template <typename T>
std::unique_ptr<ViewState> makeViewState() {
  return std::make_unique<T>();
}

// The subviews of a view, back to front.
std::vector<ns::Ref> subviewsOf(const ViewState& state);

// The UIWindow a view is in; nil when none.
id windowOf(id view);

// Registers UIResponder, UIView, UIWindow, UILabel and UIImageView (idempotent; done when this
// library loads).
void registerViewClasses();

}  // namespace uikit
