#include "picker.h"

#include <AVFoundation/AVFoundation.h>
#include <Foundation/dispatch.h>
#include <Photos/Photos.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImagePickerController.h>

#include <device/device.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace settings_sim {
namespace {

using json = nlohmann::ordered_json;

std::string str(const json& value) {
  return value.is_string() ? value.get<std::string>() : value.is_null() ? "nothing" : value.dump();
}

std::string dataText(const json& value) {
  if (value.is_null()) return "nothing";
  if (value.is_object() && value.contains("bytes")) {
    return value.value("format", "other") + ", " + std::to_string(value["bytes"].get<size_t>()) +
           " bytes";
  }
  return value.dump();
}

bool offersMovies(id picker) {
  for (id type : ns::elements(send(picker, "mediaTypes"))) {
    if (ns::utf8(type) == "public.movie") return true;
  }
  return false;
}

std::function<std::string(id)>& previewRows() {
  static std::function<std::string(id)> rowOf;
  return rowOf;
}
IMP originalSetImage = nullptr;

json imageSize(id image) {
  CGImageRef pixels = send<CGImageRef>(image, "CGImage");
  return {{"width", CGImageGetWidth(pixels)}, {"height", CGImageGetHeight(pixels)}};
}

void setImageWatched(id self, SEL cmd, id image) {
  reinterpret_cast<void (*)(id, SEL, id)>(originalSetImage)(self, cmd, image);
  std::string row = previewRows() ? previewRows()(self) : "";
  if (row.empty()) return;
  std::string madeFrom = uikit::imageMadeFrom(image);
  bool queued = *dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL) != '\0';
  std::string source = image == nil            ? "none"
                       : madeFrom == "CGImage" ? "video"
                       : queued                ? "picked"
                                               : "stored";
  json entry = {{"row", row}, {"source", source}};
  if (image != nil) entry.update(imageSize(image));
  entry["thread"] = dispatch::isMainThread() ? "main" : "background";
  journal::record("preview", entry);
}

}  // namespace

void watchPreviews(std::function<std::string(id view)> rowOf) {
  previewRows() = std::move(rowOf);
  if (originalSetImage != nullptr) return;
  Method setImage = class_getInstanceMethod(objc_getClass("UIImageView"), sel("setImage:"));
  if (setImage != nullptr) {
    originalSetImage = method_setImplementation(setImage, reinterpret_cast<IMP>(setImageWatched));
  }
}

json previewOf(id cell) {
  id view = object_getIvar(cell, class_getInstanceVariable(object_getClass(cell), "previewImage"));
  id image = send(view, "image");
  if (image == nil) return {{"source", "none"}};
  json shown = {{"source", uikit::imageMadeFrom(image) == "CGImage" ? "video" : "picture"}};
  shown.update(imageSize(image));
  return shown;
}

PickerSheet pickerSheet(id picker) {
  PickerSheet sheet;
  bool movies = offersMovies(picker);
  for (const photos::Item& item : photos::library()) {
    if (item.video && !movies) continue;
    PickerItem shown{item.name, device::hostPath(item.devicePath), item.video, std::nullopt};
    double seconds = 0;
    if (item.video && avfoundation::mediaDuration(shown.hostPath, seconds)) {
      shown.duration = durationText(seconds);
    }
    sheet.items.push_back(std::move(shown));
  }
  return sheet;
}

std::string durationText(double seconds) {
  long whole = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  }
  return text;
}

id presentedPicker(id controller) {
  id presented = send(controller, "presentedViewController");
  return presented != nil && ns::isKindOf(presented, "UIImagePickerController") ? presented : nil;
}

bool pick(id controller, const Pick& pick, std::string& problem) {
  id picker = presentedPicker(controller);
  if (picker == nil) {
    problem = "no picker is on screen";
    return false;
  }
  id info = ns::dictionary();
  if (!pick.noReferenceURL) {
    std::optional<photos::Item> found;
    for (photos::Item& item : photos::library()) {
      if (item.name == pick.item) found = item;
    }
    if (!found) {
      problem = "'" + pick.item + "' is not in the photo library";
      return false;
    }
    if (found->video && !offersMovies(picker)) {
      problem = "'" + pick.item + "' is a video and the picker offers pictures only";
      return false;
    }
    ns::setValue(info, "UIImagePickerControllerMediaType",
                 found->video ? kUTTypeMovie : kUTTypeImage);
    ns::setValue(info, "UIImagePickerControllerReferenceURL",
                 send(cls("NSURL"), "URLWithString:", ns::string(found->referenceURL)));
    if (pick.deleted) photos::forgetAsset(found->devicePath);
  } else {
    ns::setValue(info, "UIImagePickerControllerMediaType", kUTTypeImage);
  }
  ns::Ref keep(picker);
  send<void>(send(picker, "delegate"),
             "imagePickerController:didFinishPickingMediaWithInfo:", picker, info);
  return true;
}

bool cancel(id controller, std::string& problem) {
  id picker = presentedPicker(controller);
  if (picker == nil) {
    problem = "no picker is on screen";
    return false;
  }
  ns::Ref keep(picker);
  send<void>(send(picker, "delegate"), "imagePickerControllerDidCancel:", picker);
  return true;
}

bool printPickEntry(const journal::Entry& entry) {
  const std::string kind = entry.value("kind", "");
  if (kind == "present" && entry.contains("mediaTypes")) {
    std::string types;
    for (const json& type : entry["mediaTypes"]) types += (types.empty() ? "" : ", ") + str(type);
    std::printf("present %s (source type %s; %s)\n", str(entry["controller"]).c_str(),
                entry["sourceType"].dump().c_str(), types.c_str());
  } else if (kind == "dismiss") {
    std::printf("dismiss %s%s%s\n", str(entry["controller"]).c_str(),
                entry.value("animated", false) ? ", animated" : "",
                entry.value("completion", false) ? ", then its completion" : "");
  } else if (kind == "indicator") {
    std::printf("indicator %s\n", str(entry["state"]).c_str());
  } else if (kind == "defaults") {
    std::printf("defaults %s %s = %s\n", str(entry["domain"]).c_str(), str(entry["key"]).c_str(),
                dataText(entry["value"]).c_str());
  } else if (kind == "encode") {
    std::string quality =
        entry["quality"].is_null() ? "" : " at quality " + entry["quality"].dump();
    std::printf("encode %s%s: %s bytes\n", str(entry["format"]).c_str(), quality.c_str(),
                str(entry["bytes"]).c_str());
  } else if (kind == "remove-file") {
    std::printf("remove-file %s: %s\n", str(entry["path"]).c_str(),
                entry.value("ok", false) ? "removed" : "nothing removed");
  } else if (kind == "export") {
    std::string outcome = str(entry["status"]);
    if (entry.value("code", 0) != 0) outcome += " (" + entry["code"].dump() + ")";
    std::printf("export %s as %s: %s\n", str(entry["output"]).c_str(),
                str(entry["fileType"]).c_str(), outcome.c_str());
  } else if (kind == "log") {
    std::printf("%s\n", str(entry["text"]).c_str());
  } else if (kind == "move") {
    std::printf("move %s -> %s%s: %s\n", str(entry["from"]).c_str(), str(entry["to"]).c_str(),
                entry.value("replace", false) ? ", replacing it" : "",
                entry.value("ok", false) ? "done" : "failed");
  } else if (kind == "frame") {
    if (entry.value("ok", false)) {
      std::printf("frame %s: %sx%s\n", str(entry["path"]).c_str(), entry["width"].dump().c_str(),
                  entry["height"].dump().c_str());
    } else {
      std::printf("frame %s: none\n", str(entry["path"]).c_str());
    }
  } else if (kind == "preview") {
    std::string size = str(entry["source"]) == "none"
                           ? ""
                           : " " + entry["width"].dump() + "x" + entry["height"].dump();
    std::printf("preview %s: %s%s (%s thread)\n", str(entry["row"]).c_str(),
                str(entry["source"]).c_str(), size.c_str(), str(entry["thread"]).c_str());
  } else {
    return false;
  }
  return true;
}

}  // namespace settings_sim
