// AVURLAsset, AVAssetExportSession and AVAssetImageGenerator over the media work in media.cpp.
#include <AVFoundation/AVFoundation.h>
#include <Foundation/Block.h>
#include <Foundation/NSError.h>
#include <Foundation/ObjectState.h>
#include <Foundation/dispatch.h>
#include <device/device.h>
#include <device/journal.h>

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <mutex>

extern "C" {
__attribute__((visibility("default"))) id AVAssetExportPresetHighestQuality = nil;
__attribute__((visibility("default"))) id AVFileTypeQuickTimeMovie = nil;
__attribute__((visibility("default"))) id AVFileTypeMPEG4 = nil;
__attribute__((visibility("default"))) id AVFoundationErrorDomain = nil;
}

namespace {

// The device path of a file URL (or of a path string); "" for anything else.
std::string devicePathOf(id urlOrPath) {
  if (urlOrPath == nil) return "";
  if (ns::isKindOf(urlOrPath, "NSString")) return ns::utf8(urlOrPath);
  return ns::utf8(msgSend(urlOrPath, sel("path")));
}

// --- AVURLAsset -----------------------------------------------------------------------------

struct AssetState : ns::ObjectState {
  ns::Ref url;
};

id URLAssetWithURL(id self, SEL, id url, id) {
  if (url == nil) return nil;
  auto state = std::make_unique<AssetState>();
  state->url = ns::Ref(url);
  return ns::autorelease(ns::newObject(reinterpret_cast<Class>(self), std::move(state)));
}
id assetURL(id self, SEL) {
  AssetState* state = ns::stateOf<AssetState>(self);
  return state != nullptr ? state->url.get() : nil;
}

// --- AVAssetExportSession -------------------------------------------------------------------

// The session's fields are set by its owner before the export starts and read by the worker;
// the outcome is written by the worker before the completion runs. The lock makes both safe.
struct ExportState : ns::ObjectState {
  std::mutex lock;
  ns::Ref asset;
  ns::Ref preset;
  ns::Ref outputURL;
  ns::Ref outputFileType;
  AVAssetExportSessionStatus status = AVAssetExportSessionStatusWaiting;
  ns::Ref error;
  bool started = false;
};
ExportState* exportState(id session) {
  return ns::stateOf<ExportState>(session);
}

id initWithAssetPreset(id self, SEL, id asset, id preset) {
  if (asset == nil) {
    ns::release(self);
    return nil;
  }
  auto state = std::make_unique<ExportState>();
  state->asset = ns::Ref(asset);
  state->preset = ns::Ref(preset);
  ns::setObjectState(self, std::move(state));
  return self;
}
id exportSessionWithAsset(id self, SEL, id asset, id preset) {
  return ns::autorelease(initWithAssetPreset(msgSend(self, sel("alloc")), nullptr, asset, preset));
}

template <ns::Ref ExportState::*Field>
void setField(id self, SEL, id value) {
  if (ExportState* state = exportState(self)) {
    std::lock_guard guard(state->lock);
    state->*Field = ns::Ref(value);
  }
}
template <ns::Ref ExportState::*Field>
id getField(id self, SEL) {
  ExportState* state = exportState(self);
  if (state == nullptr) return nil;
  std::lock_guard guard(state->lock);
  return ns::autorelease(ns::retain(state->*Field));
}
AVAssetExportSessionStatus exportStatus(id self, SEL) {
  ExportState* state = exportState(self);
  if (state == nullptr) return AVAssetExportSessionStatusUnknown;
  std::lock_guard guard(state->lock);
  return state->status;
}

const char* statusName(AVAssetExportSessionStatus status) {
  if (status == AVAssetExportSessionStatusCompleted) return "completed";
  if (status == AVAssetExportSessionStatusCancelled) return "cancelled";
  return "failed";
}

// Runs the export on a background queue; when it ends, the completion is submitted to a
// background queue of its own. A session exports once; starting it again does nothing.
void exportAsynchronously(id self, SEL, id completion) {
  ExportState* state = exportState(self);
  if (state == nullptr) return;
  std::string source, output, fileType, preset;
  {
    std::lock_guard guard(state->lock);
    if (state->started) return;
    state->started = true;
    state->status = AVAssetExportSessionStatusExporting;
    source = devicePathOf(assetURL(state->asset, nullptr));
    output = devicePathOf(state->outputURL);
    fileType = ns::utf8(state->outputFileType);
    preset = ns::utf8(state->preset);
  }
  std::string name = source.substr(source.find_last_of('/') + 1);
  ns::Ref session(self), done(completion);
  std::string what = "export of " + name;
  dispatch::asyncDescribed(
      dispatch_get_global_queue(0, 0), what, name,
      [session, done, source, output, fileType, preset, what] {
        std::string why = "no output URL";
        NSInteger code = output.empty() ? AVErrorExportFailed
                                        : avfoundation::exportByStreamCopy(device::hostPath(source),
                                                                           device::hostPath(output),
                                                                           fileType, &why);
        ExportState* state = exportState(session);
        {
          std::lock_guard guard(state->lock);
          state->status =
              code == 0 ? AVAssetExportSessionStatusCompleted : AVAssetExportSessionStatusFailed;
          state->error =
              code == 0 ? ns::Ref() : ns::Ref(ns::error("AVFoundationErrorDomain", code, why));
        }
        journal::record(
            "export", {{"output", output.empty() ? journal::Entry() : journal::Entry(output)},
                       {"fileType", fileType.empty() ? journal::Entry() : journal::Entry(fileType)},
                       {"preset", preset.empty() ? journal::Entry() : journal::Entry(preset)},
                       {"status", statusName(exportStatus(session, nullptr))},
                       {"code", code}});
        if (done) {
          dispatch::asyncDescribed(dispatch_get_global_queue(0, 0), "completion of " + what, "",
                                   [done] { ns::callBlock(done.get()); });
        }
      });
}

// --- AVAssetImageGenerator ------------------------------------------------------------------

struct GeneratorState : ns::ObjectState {
  ns::Ref asset;
};

id assetImageGeneratorWithAsset(id self, SEL, id asset) {
  auto state = std::make_unique<GeneratorState>();
  state->asset = ns::Ref(asset);
  return ns::autorelease(ns::newObject(reinterpret_cast<Class>(self), std::move(state)));
}

void freeFrame(void* samples, const void*, size_t) {
  delete static_cast<std::vector<uint8_t>*>(samples);
}

CGImageRef copyCGImageAtTime(id self, SEL, CMTime, CMTime* actualTime, id* error) {
  if (actualTime != nullptr) *actualTime = CMTimeMake(0, 1);
  if (error != nullptr) *error = nil;
  GeneratorState* state = ns::stateOf<GeneratorState>(self);
  std::string path = state != nullptr ? devicePathOf(assetURL(state->asset, nullptr)) : "";
  auto* rgba = new std::vector<uint8_t>;
  int width = 0, height = 0;
  bool ok = !path.empty() && avfoundation::firstFrame(device::hostPath(path), *rgba, width, height);
  journal::record(
      "frame",
      {{"path", path}, {"ok", ok}, {"width", ok ? width : 0}, {"height", ok ? height : 0}});
  if (!ok) {
    delete rgba;
    if (error != nullptr)
      *error = ns::error("AVFoundationErrorDomain", AVErrorFileFormatNotRecognized);
    return nullptr;
  }
  CGDataProviderRef provider =
      CGDataProviderCreateWithData(rgba, rgba->data(), rgba->size(), freeFrame);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate(static_cast<size_t>(width), static_cast<size_t>(height), 8, 32,
                                   static_cast<size_t>(width) * 4, space, kCGImageAlphaNoneSkipLast,
                                   provider, nullptr, false, kCGRenderingIntentDefault);
  CGColorSpaceRelease(space);
  CGDataProviderRelease(provider);
  return image;
}

__attribute__((constructor)) void registerAVFoundation() {
  av_log_set_level(AV_LOG_QUIET);  // failures are answered through status and error
  AVAssetExportPresetHighestQuality = ns::constantString("AVAssetExportPresetHighestQuality");
  AVFileTypeQuickTimeMovie = ns::constantString("com.apple.quicktime-movie");
  AVFileTypeMPEG4 = ns::constantString("public.mpeg-4");
  AVFoundationErrorDomain = ns::constantString("AVFoundationErrorDomain");
  Class root = ns::classNamed("NSObject");
  ClassBuilder("AVAsset", root).register_();
  ClassBuilder("AVURLAsset", objc_getClass("AVAsset"))
      .classMethod("URLAssetWithURL:options:", URLAssetWithURL)
      .method("URL", assetURL)
      .register_();
  ClassBuilder("AVAssetExportSession", root)
      .classMethod("exportSessionWithAsset:presetName:", exportSessionWithAsset)
      .method("initWithAsset:presetName:", initWithAssetPreset)
      .method("setOutputURL:", setField<&ExportState::outputURL>)
      .method("outputURL", getField<&ExportState::outputURL>)
      .method("setOutputFileType:", setField<&ExportState::outputFileType>)
      .method("outputFileType", getField<&ExportState::outputFileType>)
      .method("presetName", getField<&ExportState::preset>)
      .method("asset", getField<&ExportState::asset>)
      .method("error", getField<&ExportState::error>)
      .method("status", exportStatus)
      .method("exportAsynchronouslyWithCompletionHandler:", exportAsynchronously)
      .register_();
  ClassBuilder("AVAssetImageGenerator", root)
      .classMethod("assetImageGeneratorWithAsset:", assetImageGeneratorWithAsset)
      .method("copyCGImageAtTime:actualTime:error:", copyCGImageAtTime)
      .register_();
}

}  // namespace
