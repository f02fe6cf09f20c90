#include "device_files.h"

#include <AVFoundation/AVFoundation.h>
#include <AudioToolbox/SoundFile.h>
#include <Photos/Photos.h>
#include <device/device.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "image_codecs.h"
#include "tweak/sound_events.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace studio {
namespace fs = std::filesystem;
namespace {

constexpr const char* kLibraryFolder = "/var/mobile/Media/DCIM/100APPLE";
constexpr int kThumbnailSide = 256;

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    if (slash > at) parts.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  return parts;
}

bool within(const fs::path& inner, const fs::path& outer) {
  std::string a = inner.string();
  std::string b = outer.string();
  return a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == '/';
}

void putLE(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool readFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// The picture in the file at `path`, decoded as the device decodes it; false when it cannot be
// read or is no picture.
bool decodePicture(const std::string& path, uikit::codecs::Pixels& pixels) {
  std::string bytes;
  return readFile(path, bytes) &&
         uikit::codecs::decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                               pixels);
}

// Box-filters straight RGBA down so that neither side exceeds `side`.
std::vector<uint8_t> shrink(const std::vector<uint8_t>& rgba, int width, int height, int side,
                            int& outWidth, int& outHeight) {
  double factor = std::max(1.0, std::max(width, height) / static_cast<double>(side));
  outWidth = std::max(1, static_cast<int>(std::lround(width / factor)));
  outHeight = std::max(1, static_cast<int>(std::lround(height / factor)));
  std::vector<uint8_t> out(static_cast<size_t>(outWidth) * outHeight * 4);
  for (int y = 0; y < outHeight; ++y) {
    int y0 = static_cast<int>(y * factor);
    int y1 = std::max(y0 + 1, std::min(height, static_cast<int>((y + 1) * factor)));
    for (int x = 0; x < outWidth; ++x) {
      int x0 = static_cast<int>(x * factor);
      int x1 = std::max(x0 + 1, std::min(width, static_cast<int>((x + 1) * factor)));
      uint64_t sum[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        for (int sx = x0; sx < x1; ++sx) {
          const uint8_t* p = &rgba[(static_cast<size_t>(sy) * width + sx) * 4];
          for (int c = 0; c < 4; ++c) sum[c] += p[c];
        }
      }
      uint64_t n = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
      uint8_t* q = &out[(static_cast<size_t>(y) * outWidth + x) * 4];
      for (int c = 0; c < 4; ++c) q[c] = static_cast<uint8_t>(sum[c] / n);
    }
  }
  return out;
}

std::vector<uint8_t> toRgba(const uikit::codecs::Pixels& pixels) {
  std::vector<uint8_t> rgba(static_cast<size_t>(pixels.width) * pixels.height * 4);
  for (size_t i = 0; i < static_cast<size_t>(pixels.width) * pixels.height; ++i) {
    const uint8_t* p = &pixels.samples[i * pixels.channels];
    uint8_t* q = &rgba[i * 4];
    switch (pixels.channels) {
      case 1:
        q[0] = q[1] = q[2] = p[0];
        q[3] = 255;
        break;
      case 2:
        q[0] = q[1] = q[2] = p[0];
        q[3] = p[1];
        break;
      case 3:
        std::memcpy(q, p, 3);
        q[3] = 255;
        break;
      default:
        std::memcpy(q, p, 4);
        break;
    }
  }
  return rgba;
}

double videoSeconds(const std::string& hostPath) {
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, hostPath.c_str(), nullptr, nullptr) != 0) return -1;
  double seconds = -1;
  if (avformat_find_stream_info(context, nullptr) >= 0 && context->duration > 0) {
    seconds = context->duration / static_cast<double>(AV_TIME_BASE);
  }
  avformat_close_input(&context);
  return seconds;
}

bool isVideoExtension(const std::string& ext) {
  return ext == "MOV" || ext == "MP4";
}

}  // namespace

std::optional<std::string> soundHostPath(const std::string& devicePath, Refusal& refusal) {
  refusal = {400, "not a sound of the device: " + devicePath};
  if (devicePath.empty() || devicePath[0] != '/') return std::nullopt;
  std::vector<std::string> parts = components(devicePath);
  std::vector<std::string> bundle = components(BundleRoot);
  if (parts.size() < bundle.size() + 2) return std::nullopt;
  for (const std::string& part : parts) {
    if (part == "." || part == "..") return std::nullopt;
  }
  if (!std::equal(bundle.begin(), bundle.end(), parts.begin())) return std::nullopt;
  const std::string& event = parts[bundle.size()];
  bool known = std::any_of(std::begin(kSoundEventFiles), std::end(kSoundEventFiles),
                           [&](const SoundEventFile& file) { return event == file.event; });
  if (!known) return std::nullopt;
  std::error_code error;
  fs::path folder = fs::canonical(device::hostPath(std::string(BundleRoot) + "/" + event), error);
  if (error) {
    refusal = {404, "no such sound: " + devicePath};
    return std::nullopt;
  }
  std::string host = device::hostPath(devicePath);
  fs::path real = fs::canonical(host, error);
  if (error || !fs::is_regular_file(real, error)) {
    if (!error || error == std::errc::no_such_file_or_directory) {
      refusal = {404, "no such sound: " + devicePath};
    }
    return std::nullopt;
  }
  if (!within(real, folder)) {
    refusal = {400, "the sound leads out of its folder: " + devicePath};
    return std::nullopt;
  }
  return real.string();
}

std::optional<std::string> soundAsWav(const std::string& hostPath, std::string& error) {
  std::unique_ptr<audio::SoundFile> file = audio::SoundFile::open(hostPath, error);
  if (!file) return std::nullopt;
  const audio::SoundFacts& facts = file->facts();
  int channels = facts.channels;
  std::string samples;
  if (facts.frames > 0) samples.reserve(static_cast<size_t>(facts.frames) * channels * 2);
  std::vector<float> buffer(static_cast<size_t>(4096) * channels);
  for (;;) {
    int64_t got = file->read(buffer.data(), 4096);
    if (got < 0) {
      error = "the sound is damaged";
      return std::nullopt;
    }
    if (got == 0) break;
    for (int64_t i = 0; i < got * channels; ++i) {
      float v = std::clamp(buffer[static_cast<size_t>(i)], -1.0f, 1.0f);
      auto sample = static_cast<int16_t>(std::lrint(v * 32767.0f));
      samples += static_cast<char>(sample & 0xFF);
      samples += static_cast<char>((sample >> 8) & 0xFF);
    }
  }
  std::string wav;
  wav.reserve(44 + samples.size());
  wav += "RIFF";
  putLE(wav, static_cast<uint32_t>(36 + samples.size()), 4);
  wav += "WAVEfmt ";
  putLE(wav, 16, 4);
  putLE(wav, 1, 2);  // PCM
  putLE(wav, static_cast<uint32_t>(channels), 2);
  putLE(wav, static_cast<uint32_t>(facts.sampleRate), 4);
  putLE(wav, static_cast<uint32_t>(facts.sampleRate * channels * 2), 4);
  putLE(wav, static_cast<uint32_t>(channels * 2), 2);
  putLE(wav, 16, 2);
  wav += "data";
  putLE(wav, static_cast<uint32_t>(samples.size()), 4);
  wav += samples;
  return wav;
}

std::string fileTag(const std::string& hostPath) {
  struct stat info {};
  if (stat(hostPath.c_str(), &info) != 0) return "";
  return "\"" + std::to_string(info.st_ino) + "-" + std::to_string(info.st_size) + "-" +
         std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + "\"";
}

nlohmann::ordered_json libraryItems() {
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (const photos::Item& item : photos::library()) {
    std::string host = device::hostPath(item.devicePath);
    nlohmann::ordered_json entry = {{"name", item.name}, {"kind", item.video ? "video" : "image"}};
    if (item.video) {
      std::vector<uint8_t> rgba;
      int width = 0;
      int height = 0;
      if (avfoundation::firstFrame(host, rgba, width, height)) {
        entry["width"] = width;
        entry["height"] = height;
      }
      double seconds = videoSeconds(host);
      entry["seconds"] = seconds >= 0 ? nlohmann::ordered_json(seconds) : nullptr;
    } else {
      uikit::codecs::Pixels pixels;
      if (decodePicture(host, pixels)) {
        entry["width"] = pixels.width;
        entry["height"] = pixels.height;
      } else {
        entry["width"] = nullptr;
        entry["height"] = nullptr;
      }
    }
    items.push_back(std::move(entry));
  }
  return items;
}

std::optional<std::string> libraryThumbnail(const std::string& name, Refusal& refusal) {
  const photos::Item* found = nullptr;
  std::vector<photos::Item> items = photos::library();
  for (const photos::Item& item : items) {
    if (item.name == name) found = &item;
  }
  if (found == nullptr) {
    refusal = {404, "no library item '" + name + "'"};
    return std::nullopt;
  }
  std::string host = device::hostPath(found->devicePath);
  std::vector<uint8_t> rgba;
  int width = 0;
  int height = 0;
  if (found->video) {
    if (!avfoundation::firstFrame(host, rgba, width, height)) rgba.clear();
  } else {
    uikit::codecs::Pixels pixels;
    if (decodePicture(host, pixels)) {
      rgba = toRgba(pixels);
      width = static_cast<int>(pixels.width);
      height = static_cast<int>(pixels.height);
    }
  }
  if (rgba.empty() || width <= 0 || height <= 0) {
    refusal = {422, "the library item '" + name + "' cannot be read"};
    return std::nullopt;
  }
  int w = 0;
  int h = 0;
  std::vector<uint8_t> small = shrink(rgba, width, height, kThumbnailSide, w, h);
  std::vector<uint8_t> png;
  if (!uikit::codecs::encodePNG(small.data(), static_cast<uint32_t>(w), static_cast<uint32_t>(h),
                                png)) {
    refusal = {500, "the thumbnail could not be written"};
    return std::nullopt;
  }
  return std::string(png.begin(), png.end());
}

std::optional<std::string> addToLibrary(const std::string& extension, const std::string& bytes,
                                        Refusal& refusal) {
  std::string ext = extension;
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  static const char* const kKinds[] = {"HEIC", "JPG", "JPEG", "PNG", "GIF", "MOV", "MP4"};
  if (std::none_of(std::begin(kKinds), std::end(kKinds), [&](const char* k) { return ext == k; })) {
    refusal = {400, "ext is one of HEIC, JPG, JPEG, PNG, GIF, MOV, MP4, not '" + extension + "'"};
    return std::nullopt;
  }
  std::string folder = device::hostPath(kLibraryFolder);
  std::error_code error;
  fs::create_directories(folder, error);
  int highest = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    int number = 0;
    if (std::sscanf(name.c_str(), "IMG_%4d.", &number) == 1) highest = std::max(highest, number);
  }
  char name[32];
  std::snprintf(name, sizeof name, "IMG_%04d.%s", highest + 1, ext.c_str());
  // Written beside its place under a name the library does not list, checked, then moved in.
  std::string staging = folder + "/.incoming-" + std::to_string(getpid());
  {
    std::ofstream out(staging, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      fs::remove(staging, error);
      refusal = {500, "cannot write into the library"};
      return std::nullopt;
    }
  }
  bool media = false;
  if (isVideoExtension(ext)) {
    std::vector<uint8_t> rgba;
    int width = 0;
    int height = 0;
    media = avfoundation::firstFrame(staging, rgba, width, height);
  } else {
    uikit::codecs::Pixels pixels;
    media =
        uikit::codecs::decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), pixels);
  }
  if (!media) {
    fs::remove(staging, error);
    refusal = {415,
               std::string("the bytes are no ") + (isVideoExtension(ext) ? "video" : "picture")};
    return std::nullopt;
  }
  fs::rename(staging, folder + "/" + name, error);
  if (error) {
    fs::remove(staging, error);
    refusal = {500, "cannot add to the library"};
    return std::nullopt;
  }
  return std::string(name);
}

}  // namespace studio
