#include <Foundation/ObjectState.h>
#include <UIKit/UIImagePickerController.h>

extern "C" {
__attribute__((visibility("default"))) id kUTTypeImage = nil;
__attribute__((visibility("default"))) id kUTTypeMovie = nil;
__attribute__((visibility("default"))) id UIImagePickerControllerReferenceURL = nil;
__attribute__((visibility("default"))) id UIImagePickerControllerMediaType = nil;
}

namespace {

struct PickerState : uikit::ViewControllerState {
  UIImagePickerControllerSourceType sourceType = UIImagePickerControllerSourceTypePhotoLibrary;
  ns::Ref mediaTypes;
  id delegate = nil;  // not retained
  ns::Ref view;
  void describe(nlohmann::ordered_json& entry) const override {
    entry["sourceType"] = sourceType;
    entry["mediaTypes"] = ns::toJson(mediaTypes);
  }
};

PickerState* pickerState(id self) {
  return dynamic_cast<PickerState*>(uikit::viewControllerState(self));
}

id initPicker(id self, SEL) {
  id picker = sendSuper(self, objc_getClass("UIImagePickerController"), "init");
  if (picker == nil) return nil;
  auto state = std::make_unique<PickerState>();
  state->mediaTypes = ns::Ref(ns::array({kUTTypeImage}));
  ns::setObjectState(picker, std::move(state));
  return picker;
}

UIImagePickerControllerSourceType sourceType(id self, SEL) {
  PickerState* state = pickerState(self);
  return state != nullptr ? state->sourceType : 0;
}
void setSourceType(id self, SEL, UIImagePickerControllerSourceType type) {
  if (PickerState* state = pickerState(self)) state->sourceType = type;
}
id mediaTypes(id self, SEL) {
  PickerState* state = pickerState(self);
  return state != nullptr ? state->mediaTypes.get() : nil;
}
void setMediaTypes(id self, SEL, id types) {
  if (PickerState* state = pickerState(self)) {
    state->mediaTypes = ns::Ref(ns::array(ns::elements(types)));
  }
}
id delegate(id self, SEL) {
  PickerState* state = pickerState(self);
  return state != nullptr ? state->delegate : nil;
}
void setDelegate(id self, SEL, id value) {
  if (PickerState* state = pickerState(self)) state->delegate = value;
}
// The picker's view, made at first use, covering the screen.
id view(id self, SEL) {
  PickerState* state = pickerState(self);
  if (state == nullptr) return nil;
  if (!state->view && objc_getClass("UIView") != Nil) {
    id made = msgSend(msgSend(objc_getClass("UIView"), sel("alloc")), sel("initWithFrame:"),
                      CGRect{{0, 0}, {390, 844}});
    state->view = ns::Ref::adopt(made);
  }
  return state->view.get();
}

__attribute__((constructor)) void registerPicker() {
  kUTTypeImage = ns::constantString("public.image");
  kUTTypeMovie = ns::constantString("public.movie");
  UIImagePickerControllerReferenceURL = ns::constantString("UIImagePickerControllerReferenceURL");
  UIImagePickerControllerMediaType = ns::constantString("UIImagePickerControllerMediaType");
  uikit::registerViewControllerClasses();
  ClassBuilder("UINavigationController", objc_getClass("UIViewController")).register_();
  ClassBuilder("UIImagePickerController", objc_getClass("UINavigationController"))
      .method("init", initPicker)
      .method("sourceType", sourceType)
      .method("setSourceType:", setSourceType)
      .method("mediaTypes", mediaTypes)
      .method("setMediaTypes:", setMediaTypes)
      .method("delegate", delegate)
      .method("setDelegate:", setDelegate)
      .method("view", view)
      .register_();
}

}  // namespace
