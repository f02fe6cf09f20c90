// AVFoundation and CoreMedia, as the picker cell uses them: exporting a video into a file and
// taking its first frame.
//
// Mirrors: AVURLAsset (+URLAssetWithURL:options:, -URL), AVAssetExportSession
// (+exportSessionWithAsset:presetName:, -initWithAsset:presetName:, outputURL, outputFileType,
// -exportAsynchronouslyWithCompletionHandler:, status, error), AVAssetImageGenerator
// (+assetImageGeneratorWithAsset:, -copyCGImageAtTime:actualTime:error:), CMTime and
// CMTimeMake, and the constants AVAssetExportPresetHighestQuality, AVFileTypeQuickTimeMovie,
// AVFileTypeMPEG4.
//
// Faithful (over FFmpeg's libavformat, libavcodec and libswscale):
// - An export writes a real QuickTime (.mov) or MPEG-4 file of the asset's streams. It never
//   overwrites: when anything stands at the output URL it fails with AVErrorFileAlreadyExists
//   (-11823) and writes nothing. A source that is missing or no media fails with
//   AVErrorFileFormatNotRecognized (-11828); any other failure (no output URL or file type, a
//   folder that does not exist, a stream the container cannot hold) with AVErrorExportFailed
//   (-11820), a full disk with AVErrorDiskFull (-11807), and the partial file is removed. The
//   error's localizedDescription says why in words. The completion runs when the export ends,
//   whatever its outcome, on a background queue (the export and its completion are two pieces
//   of work, "export of NAME" and "completion of export of NAME", NAME the source's file name);
//   `status` and `error` tell the outcome.
// - copyCGImageAtTime: decodes the first frame of the first video stream and converts it to
//   RGBA (a CGImage the caller owns: the Create rule). A missing file, one that is no media or
//   one without a video stream gives NULL (and an error when asked for one).
// Simplified: streams are copied as they are (the preset is recorded, not applied): audio and
// video the target container cannot hold are not re-encoded, the export fails instead; other
// streams (timecode, metadata) the container cannot hold are left out. Only time zero is asked
// for; any time gives the first frame, and the actual time is zero.
//
// Journal: an export records "export" {output (the device path), fileType, preset, status
// ("completed", "failed" or "cancelled"), code (0 or the error code)} when it ends; a frame
// request records "frame" {path, ok, width, height} (width and height 0 when none).
#pragma once

#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>

#include <cstdint>
#include <string>
#include <vector>

struct CMTime {
  int64_t value;
  int32_t timescale;
  uint32_t flags;
  int64_t epoch;
};
template <>
struct TypeEncoding<CMTime> {
  static std::string get() { return "{?=qiIq}"; }
};
template <>
struct TypeEncoding<CMTime*> {
  static std::string get() { return "^{?=qiIq}"; }
};
constexpr uint32_t kCMTimeFlags_Valid = 1;
inline CMTime CMTimeMake(int64_t value, int32_t timescale) {
  return CMTime{value, timescale, kCMTimeFlags_Valid, 0};
}

typedef long AVAssetExportSessionStatus;
constexpr AVAssetExportSessionStatus AVAssetExportSessionStatusUnknown = 0;
constexpr AVAssetExportSessionStatus AVAssetExportSessionStatusWaiting = 1;
constexpr AVAssetExportSessionStatus AVAssetExportSessionStatusExporting = 2;
constexpr AVAssetExportSessionStatus AVAssetExportSessionStatusCompleted = 3;
constexpr AVAssetExportSessionStatus AVAssetExportSessionStatusFailed = 4;
constexpr AVAssetExportSessionStatus AVAssetExportSessionStatusCancelled = 5;

constexpr NSInteger AVErrorUnknown = -11800;
constexpr NSInteger AVErrorDiskFull = -11807;
constexpr NSInteger AVErrorExportFailed = -11820;
constexpr NSInteger AVErrorFileAlreadyExists = -11823;
constexpr NSInteger AVErrorFileFormatNotRecognized = -11828;

// NSString constants, as on the device.
extern "C" id AVAssetExportPresetHighestQuality;
extern "C" id AVFileTypeQuickTimeMovie;  // "com.apple.quicktime-movie"
extern "C" id AVFileTypeMPEG4;           // "public.mpeg-4"
extern "C" id AVFoundationErrorDomain;   // "AVFoundationErrorDomain"

namespace avfoundation {

// The work behind the classes, on host paths; for the stand-ins and for benchmarks.

// Copies the streams of `source` into a new file at `destination` in the container named by a
// file type identifier ("com.apple.quicktime-movie" or "public.mpeg-4"). Answers 0 or the
// AVError code, with the rules above (nothing is ever overwritten); `why`, when given, says in
// words why it failed. The output is written through the device's file layer.
NSInteger exportByStreamCopy(const std::string& source, const std::string& destination,
                             const std::string& fileType, std::string* why = nullptr);

// The first video frame of a media file as straight RGBA rows; false when there is none.
bool firstFrame(const std::string& source, std::vector<uint8_t>& rgba, int& width, int& height);

// The length of a media file in seconds, as its container states it (what an asset's duration
// answers); false for a file that is missing, no media, or states no length.
bool mediaDuration(const std::string& source, double& seconds);

}  // namespace avfoundation
