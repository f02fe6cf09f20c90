// PHAsset, PHFetchResult and PHImageManager over the device's DCIM folder.
#include <AVFoundation/AVFoundation.h>
#include <Foundation/Block.h>
#include <Foundation/ObjectState.h>
#include <Foundation/dispatch.h>
#include <Photos/Photos.h>
#include <device/device.h>
#include <uuid/uuid.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

namespace photos {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLibraryFolder = "/var/mobile/Media/DCIM";

struct Kind {
  const char* extension;  // upper case
  const char* typeIdentifier;
  bool video;
};
constexpr Kind kKinds[] = {
    {"HEIC", "public.heic", false},       {"JPG", "public.jpeg", false},
    {"JPEG", "public.jpeg", false},       {"PNG", "public.png", false},
    {"GIF", "com.compuserve.gif", false}, {"MOV", "com.apple.quicktime-movie", true},
    {"MP4", "public.mpeg-4", true},
};

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string nameBasedUUID(const std::string& devicePath) {
  uuid_t id;
  uuid_generate_sha1(id, *uuid_get_template("url"), devicePath.data(), devicePath.size());
  char text[37];
  uuid_unparse_upper(id, text);
  return text;
}

struct Forgotten {
  std::mutex lock;
  std::set<std::string> paths;
};
Forgotten& forgotten() {
  static Forgotten f;
  return f;
}

// --- PHAsset and PHFetchResult ----------------------------------------------------------------

struct AssetState : ns::ObjectState {
  Item item;
};
const Item* itemOf(id asset) {
  AssetState* state = ns::stateOf<AssetState>(asset);
  return state != nullptr ? &state->item : nullptr;
}

struct FetchState : ns::ObjectState {
  ns::Ref assets;  // NSArray
};

std::string queryValue(const std::string& url, const std::string& name) {
  size_t query = url.find('?');
  if (query == std::string::npos) return "";
  std::string rest = url.substr(query + 1);
  size_t at = 0;
  while (at <= rest.size()) {
    size_t end = rest.find('&', at);
    if (end == std::string::npos) end = rest.size();
    std::string pair = rest.substr(at, end - at);
    if (pair.compare(0, name.size() + 1, name + "=") == 0) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return "";
}

id fetchAssetsWithALAssetURLs(id, SEL, id urls, id) {
  std::vector<Item> items = library();
  std::vector<id> found;
  for (id url : ns::elements(urls)) {
    std::string text = ns::isKindOf(url, "NSString")
                           ? ns::utf8(url)
                           : ns::utf8(msgSend(url, sel("absoluteString")));
    if (text.rfind("assets-library://asset/", 0) != 0) continue;
    std::string wanted = upper(queryValue(text, "id"));
    for (const Item& item : items) {
      if (item.uuid != wanted) continue;
      auto state = std::make_unique<AssetState>();
      state->item = item;
      found.push_back(ns::autorelease(ns::newObject(objc_getClass("PHAsset"), std::move(state))));
    }
  }
  auto result = std::make_unique<FetchState>();
  result->assets = ns::Ref(ns::array(found));
  return ns::autorelease(ns::newObject(objc_getClass("PHFetchResult"), std::move(result)));
}

BOOL isVideo(id self, SEL) {
  const Item* item = itemOf(self);
  return item != nullptr && item->video ? YES : NO;
}
PHAssetMediaType mediaType(id self, SEL) {
  const Item* item = itemOf(self);
  if (item == nullptr) return PHAssetMediaTypeUnknown;
  return item->video ? PHAssetMediaTypeVideo : PHAssetMediaTypeImage;
}
id localIdentifier(id self, SEL) {
  const Item* item = itemOf(self);
  return item != nullptr ? ns::string(item->uuid + "/L0/001") : nil;
}

id fetchedArray(id self) {
  FetchState* state = ns::stateOf<FetchState>(self);
  return state != nullptr ? state->assets.get() : nil;
}
NSUInteger fetchCount(id self, SEL) {
  return msgSend<NSUInteger>(fetchedArray(self), sel("count"));
}
id fetchFirst(id self, SEL) {
  return msgSend(fetchedArray(self), sel("firstObject"));
}
id fetchLast(id self, SEL) {
  return msgSend(fetchedArray(self), sel("lastObject"));
}
id fetchAt(id self, SEL, NSUInteger index) {
  return msgSend(fetchedArray(self), sel("objectAtIndex:"), index);
}

// --- PHImageManager -------------------------------------------------------------------------

id defaultManager(id, SEL) {
  static id manager = ns::makeImmortal(msgSend(objc_getClass("PHImageManager"), sel("new")));
  return manager;
}

// The bytes are read on a background queue and handed over on the main queue.
long requestImageData(id, SEL, id asset, id, id handler) {
  const Item* item = itemOf(asset);
  if (item == nullptr || handler == nil) return 0;
  ns::Ref done(handler);
  std::string path = item->devicePath, type = item->typeIdentifier, name = item->name;
  dispatch::asyncDescribed(
      dispatch_get_global_queue(0, 0), "reading of " + name, name, [done, path, type, name] {
        std::ifstream file(device::hostPath(path), std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
        ns::Ref data;
        if (file.good() || file.eof()) {
          if (!bytes.empty()) data = ns::Ref(ns::data(bytes.data(), bytes.size()));
        }
        dispatch::asyncDescribed(
            dispatch_get_main_queue(), "image data of " + name, name, [done, data, type] {
              ns::callBlock<id, id, long, id>(done, data, ns::string(type), 0L, ns::dictionary());
            });
      });
  return 1;
}

// The session is made and handed over on a background queue of the image manager's own.
long requestExportSession(id, SEL, id asset, id, id preset, id handler) {
  const Item* item = itemOf(asset);
  if (item == nullptr || handler == nil) return 0;
  static dispatch_queue_t queue =
      dispatch_queue_create("com.apple.photos.export-sessions", nullptr);
  ns::Ref done(handler), presetName(preset);
  Item target = *item;
  dispatch::asyncDescribed(
      queue, "export session for " + target.name, target.name, [done, presetName, target] {
        std::error_code error;
        ns::Ref session;
        if (target.video && fs::is_regular_file(device::hostPath(target.devicePath), error)) {
          id url = msgSend(objc_getClass("NSURL"), sel("fileURLWithPath:"),
                           ns::string(target.devicePath));
          id media =
              msgSend(objc_getClass("AVURLAsset"), sel("URLAssetWithURL:options:"), url, id{nil});
          session =
              ns::Ref(msgSend(objc_getClass("AVAssetExportSession"),
                              sel("exportSessionWithAsset:presetName:"), media, presetName.get()));
        }
        ns::callBlock<id, id>(done, session, ns::dictionary());
      });
  return 1;
}

__attribute__((constructor)) void registerPhotos() {
  Class root = ns::classNamed("NSObject");
  ClassBuilder("PHObject", root).register_();
  ClassBuilder("PHAsset", objc_getClass("PHObject"))
      .classMethod("fetchAssetsWithALAssetURLs:options:", fetchAssetsWithALAssetURLs)
      .method("isVideo", isVideo)
      .method("mediaType", mediaType)
      .method("localIdentifier", localIdentifier)
      .register_();
  ClassBuilder("PHFetchResult", root)
      .method("count", fetchCount)
      .method("firstObject", fetchFirst)
      .method("lastObject", fetchLast)
      .method("objectAtIndex:", fetchAt)
      .register_();
  ClassBuilder("PHImageManager", root)
      .classMethod("defaultManager", defaultManager)
      .method("requestImageDataForAsset:options:resultHandler:", requestImageData)
      .method("requestExportSessionForVideo:options:exportPreset:resultHandler:",
              requestExportSession)
      .register_();
}

}  // namespace

std::vector<Item> library() {
  std::vector<Item> items;
  std::error_code error;
  fs::path root = device::hostPath(kLibraryFolder);
  std::set<std::string> gone;
  {
    std::lock_guard guard(forgotten().lock);
    gone = forgotten().paths;
  }
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    std::string name = it->path().filename().string();
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) continue;
    std::string extension = upper(name.substr(dot + 1));
    const Kind* kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&](const Kind& k) { return extension == k.extension; });
    if (kind == std::end(kKinds)) continue;
    std::string devicePath =
        std::string(kLibraryFolder) + "/" + fs::relative(it->path(), root, error).string();
    if (gone.count(device::root() + devicePath) != 0) continue;
    Item item;
    item.devicePath = devicePath;
    item.name = name;
    item.uuid = nameBasedUUID(devicePath);
    item.referenceURL =
        "assets-library://asset/asset." + extension + "?id=" + item.uuid + "&ext=" + extension;
    item.typeIdentifier = kind->typeIdentifier;
    item.video = kind->video;
    items.push_back(std::move(item));
  }
  std::sort(items.begin(), items.end(),
            [](const Item& a, const Item& b) { return a.devicePath < b.devicePath; });
  return items;
}

void forgetAsset(const std::string& devicePath) {
  std::lock_guard guard(forgotten().lock);
  forgotten().paths.insert(device::root() + devicePath);  // for this device only
}

}  // namespace photos
