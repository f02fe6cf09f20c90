// The image-format sniffer shared by the journal and UIImage's decoders.
#include <Foundation/ImageFormat.h>

#include <array>
#include <cstring>
#include <string_view>

namespace ns {
namespace {

bool startsWith(const uint8_t* bytes, size_t size, std::string_view signature, size_t at = 0) {
  return size >= at + signature.size() &&
         std::memcmp(bytes + at, signature.data(), signature.size()) == 0;
}

bool isHEIC(const uint8_t* bytes, size_t size) {
  if (!startsWith(bytes, size, "ftyp", 4)) return false;
  for (std::string_view brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"}) {
    if (startsWith(bytes, size, brand, 8)) return true;
  }
  return false;
}

}  // namespace

ImageFormat imageFormatOf(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr) return ImageFormat::Other;
  if (startsWith(bytes, size, "\x89PNG\r\n\x1a\n")) return ImageFormat::PNG;
  if (startsWith(bytes, size, "\xff\xd8\xff")) return ImageFormat::JPEG;
  if (startsWith(bytes, size, "GIF87a") || startsWith(bytes, size, "GIF89a")) {
    return ImageFormat::GIF;
  }
  if (startsWith(bytes, size, std::string_view("II*\0", 4)) ||
      startsWith(bytes, size, std::string_view("MM\0*", 4))) {
    return ImageFormat::TIFF;
  }
  if (isHEIC(bytes, size)) return ImageFormat::HEIC;
  if (startsWith(bytes, size, "BM")) return ImageFormat::BMP;
  if (startsWith(bytes, size, std::string_view("\0\0\1\0", 4)) ||
      startsWith(bytes, size, std::string_view("\0\0\2\0", 4))) {
    return ImageFormat::ICO;
  }
  return ImageFormat::Other;
}

std::string imageFormat(const std::vector<uint8_t>& bytes) {
  static constexpr std::array<const char*, 8> kNames = {"png",  "jpeg", "gif", "tiff",
                                                        "heic", "bmp",  "ico", "other"};
  return kNames[static_cast<size_t>(imageFormatOf(bytes.data(), bytes.size()))];
}

}  // namespace ns
