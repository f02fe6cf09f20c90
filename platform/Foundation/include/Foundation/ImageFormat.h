// What image bytes are, by their signature: the one sniffer of the platform. The journal names
// data by it ({"bytes": N, "format": F}) and UIImage hands the bytes to the decoder of the format
// it names, so what the journal calls a picture and what decodes are always the same thing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ns {

enum class ImageFormat { PNG, JPEG, GIF, TIFF, HEIC, BMP, ICO, Other };

// By the first bytes: PNG, JPEG, GIF (87a, 89a), TIFF (either byte order), HEIC (an ISO media
// file whose major brand is one of the HEIF image or sequence brands: heic, heix, heim, heis,
// hevc, hevx, mif1, msf1), BMP ("BM"), ICO and CUR (a reserved zero, then type 1 or 2).
ImageFormat imageFormatOf(const uint8_t* bytes, size_t size);

// Its name in the journal: "png", "jpeg", "gif", "tiff", "heic", "bmp", "ico" or "other".
std::string imageFormat(const std::vector<uint8_t>& bytes);

}  // namespace ns
