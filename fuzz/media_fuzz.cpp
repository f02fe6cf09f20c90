// A video file of any bytes, handled as the picture and video picker handles the user's pick:
// its first frame made into the row's preview through AVAssetImageGenerator, and the video
// exported into each container the picker writes.
//
// Checked beyond "no crash": a frame has a size and the image has it; an export that answers
// success leaves a file that shows the frame the original shows, and one that fails leaves
// nothing behind.
#include <AVFoundation/AVFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
#include <device/device.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "fuzz_device.h"

namespace {

constexpr const char* kFolder = "/var/mobile/Library/Plinka";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzing::useTemporaryDevice();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  ns::AutoreleasePool pool;
  std::string source = std::string(kFolder) + "/video.mov";
  fuzzing::writeDeviceFile(source, fuzzing::bytesOf(data, size));

  // The preview's frame, as the picker cell asks for it.
  id url = msgSend(cls("NSURL"), sel("fileURLWithPath:"), ns::string(source));
  id asset = msgSend(cls("AVURLAsset"), sel("URLAssetWithURL:options:"), url, id{nil});
  id generator = msgSend(cls("AVAssetImageGenerator"), sel("assetImageGeneratorWithAsset:"), asset);
  id error = nil;
  CGImageRef frame = msgSend<CGImageRef>(generator, sel("copyCGImageAtTime:actualTime:error:"),
                                         CMTimeMake(0, 1), static_cast<CMTime*>(nullptr), &error);
  bool hasFrame = frame != nullptr;
  if (frame != nullptr) {
    fuzzing::require(CGImageGetWidth(frame) > 0 && CGImageGetHeight(frame) > 0,
                     "a frame without a size");
    CGImageRelease(frame);
  } else {
    fuzzing::require(error != nil, "no frame and no error");
  }

  // The export into each container, beside the file, never over anything.
  std::string host = device::hostPath(source);
  for (const char* type : {"com.apple.quicktime-movie", "public.mpeg-4"}) {
    std::string destination = host + ".export-1";
    NSInteger code = avfoundation::exportByStreamCopy(host, destination, type);
    std::error_code missing;
    bool written = fs::exists(destination, missing);
    if (code == 0) {
      fuzzing::require(written, "an export that succeeded wrote nothing");
      std::vector<uint8_t> rgba;
      int width = 0;
      int height = 0;
      bool copied = avfoundation::firstFrame(destination, rgba, width, height);
      fuzzing::require(copied || !hasFrame, "the exported video lost the frame the original shows");
      fuzzing::require(rgba.size() == static_cast<size_t>(width) * static_cast<size_t>(height) * 4,
                       "a frame whose pixels do not fill its size");
      fs::remove(destination, missing);
    } else {
      fuzzing::require(!written, "an export that failed left a file behind");
    }
  }
  fuzzing::writeJournal();
  return 0;
}
