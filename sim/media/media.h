// Synthesised pictures and videos: the example device's photo library, and the test suite's
// and benchmarks' media files. Everything is drawn here and written through the maintained
// encoders (libheif, libpng, libjpeg-turbo, giflib, FFmpeg's H.264 and AAC encoders).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace media {

// A test picture: RGB, a diagonal gradient in the colour `hue` (0 to 359) with a white disc.
std::vector<uint8_t> picture(int width, int height, int hue);

// Each writer answers false and a reason when the file cannot be made.
bool writeHEIC(const std::string& path, int width, int height, int hue, std::string& error);
bool writeJPEG(const std::string& path, int width, int height, int hue, std::string& error);
bool writePNG(const std::string& path, int width, int height, int hue, std::string& error);
bool writeGIF(const std::string& path, int width, int height, int hue, std::string& error);

// A video of a square moving over the picture, with a tone when `withAudio`: H.264 (and AAC)
// in a QuickTime ("mov") or MPEG-4 ("mp4") container. `fast` favours encoding speed over size.
struct VideoSpec {
  std::string container = "mov";
  int width = 320;
  int height = 240;
  int framesPerSecond = 24;
  double seconds = 1.5;
  int hue = 200;
  bool withAudio = true;
  bool fast = false;
  int grain = 0;  // amplitude of per-frame noise in the picture: camera-like bit rates
};
bool writeVideo(const std::string& path, const VideoSpec& shape, std::string& error);

// The example device's library under DEVICE-ROOT/var/mobile/Media/DCIM/100APPLE: IMG_0001.HEIC,
// IMG_0002.JPG, IMG_0003.PNG, IMG_0004.MOV, IMG_0005.GIF, IMG_0006.MP4; and the empty folder
// /var/mobile/Library/Plinka that the example rows write videos into.
bool writeExampleLibrary(const std::string& deviceRoot, std::string& error);

}  // namespace media
