#include "image_codecs.h"

#include <Foundation/ImageFormat.h>

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gif_lib.h>
#include <jpeglib.h>
#include <libheif/heif.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <string_view>

namespace uikit::codecs {

bool acceptableSize(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         width * height <= kMaxDecodedPixels;
}

namespace {

bool allocate(Pixels& out, uint64_t width, uint64_t height, int channels) {
  if (!acceptableSize(width, height)) return false;
  out.width = static_cast<uint32_t>(width);
  out.height = static_cast<uint32_t>(height);
  out.channels = channels;
  out.samples.assign(width * height * static_cast<uint64_t>(channels), 0);
  return true;
}

// --- PNG ------------------------------------------------------------------------------------

bool decodePNG(const uint8_t* bytes, size_t size, Pixels& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, bytes, size) == 0) return false;
  bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
  bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = colour ? (alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB)
                        : (alpha ? PNG_FORMAT_GA : PNG_FORMAT_GRAY);
  if (!allocate(out, image.width, image.height,
                static_cast<int>(PNG_IMAGE_PIXEL_CHANNELS(image.format)))) {
    png_image_free(&image);
    return false;
  }
  if (png_image_finish_read(&image, nullptr, out.samples.data(), 0, nullptr) == 0) {
    png_image_free(&image);
    return false;
  }
  return true;
}

// --- JPEG -----------------------------------------------------------------------------------

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  static void exit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
  }
  static void quiet(j_common_ptr) {}
  static void quietLevel(j_common_ptr, int) {}
  void install(j_common_ptr info) {
    info->err = jpeg_std_error(&manager);
    manager.error_exit = exit;
    manager.output_message = quiet;
    manager.emit_message = quietLevel;
  }
};

// Kept free of C++ objects with destructors between setjmp and longjmp.
bool decodeJPEG(const uint8_t* bytes, size_t size, Pixels& out) {
  jpeg_decompress_struct info{};
  JpegError error;
  error.install(reinterpret_cast<j_common_ptr>(&info));
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
  info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  if (!allocate(out, info.image_width, info.image_height, grey ? 1 : 3)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_start_decompress(&info);
  size_t rowBytes = static_cast<size_t>(out.width) * static_cast<size_t>(out.channels);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.samples.data() + rowBytes * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool encodeJPEGRows(const uint8_t* rgb, uint32_t width, uint32_t height, int quality,
                    unsigned char** buffer, unsigned long* length) {
  jpeg_compress_struct info{};
  JpegError error;
  error.install(reinterpret_cast<j_common_ptr>(&info));
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, length);
  info.image_width = width;
  info.image_height = height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    auto row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

// --- GIF ------------------------------------------------------------------------------------

struct MemoryReader {
  const uint8_t* bytes;
  size_t size;
  size_t at = 0;
  size_t read(uint8_t* into, size_t wanted) {
    size_t n = std::min(wanted, size - at);
    std::memcpy(into, bytes + at, n);
    at += n;
    return n;
  }
};

int readGif(GifFileType* gif, GifByteType* into, int wanted) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  return static_cast<int>(reader->read(into, static_cast<size_t>(std::max(wanted, 0))));
}

// The first frame on the logical screen, transparent where the frame does not cover it. The
// frame is read line by line into a buffer checked against the size limit: giflib's own
// DGifSlurp would allocate whatever the file declares.
bool decodeGIF(const uint8_t* bytes, size_t size, Pixels& out) {
  MemoryReader reader{bytes, size};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, readGif, &error);
  if (gif == nullptr) return false;
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> closer(
      gif, [](GifFileType* g) { DGifCloseFile(g, nullptr); });
  int transparent = NO_TRANSPARENT_COLOR;
  GifRecordType record;
  do {
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) return false;
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
          transparent = control.TransparentColor;
        }
      }
      while (block != nullptr) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
      }
    }
  } while (record != IMAGE_DESC_RECORD_TYPE && record != TERMINATE_RECORD_TYPE);
  if (record != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR) return false;
  const GifImageDesc& frame = gif->Image;
  ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  if (colours == nullptr || frame.Width <= 0 || frame.Height <= 0) return false;
  uint64_t screenWidth = gif->SWidth > 0 ? gif->SWidth : frame.Width;
  uint64_t screenHeight = gif->SHeight > 0 ? gif->SHeight : frame.Height;
  if (!acceptableSize(frame.Width, frame.Height) || !allocate(out, screenWidth, screenHeight, 4)) {
    return false;
  }
  std::vector<GifPixelType> line(static_cast<size_t>(frame.Width));
  auto put = [&](int y) {
    int row = frame.Top + y;
    if (row < 0 || static_cast<uint32_t>(row) >= out.height) return;
    for (int x = 0; x < frame.Width; ++x) {
      int column = frame.Left + x;
      int index = line[static_cast<size_t>(x)];
      if (column < 0 || static_cast<uint32_t>(column) >= out.width || index == transparent ||
          index >= colours->ColorCount) {
        continue;
      }
      uint8_t* p =
          &out.samples[(static_cast<size_t>(row) * out.width + static_cast<size_t>(column)) * 4];
      p[0] = colours->Colors[index].Red;
      p[1] = colours->Colors[index].Green;
      p[2] = colours->Colors[index].Blue;
      p[3] = 255;
    }
  };
  if (frame.Interlace) {
    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = start[pass]; y < frame.Height; y += step[pass]) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return false;
        put(y);
      }
    }
  } else {
    for (int y = 0; y < frame.Height; ++y) {
      if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return false;
      put(y);
    }
  }
  return true;
}

// --- TIFF -----------------------------------------------------------------------------------

tsize_t tiffRead(thandle_t handle, tdata_t into, tsize_t wanted) {
  return static_cast<tsize_t>(static_cast<MemoryReader*>(handle)->read(
      static_cast<uint8_t*>(into), static_cast<size_t>(wanted)));
}
tsize_t tiffWrite(thandle_t, tdata_t, tsize_t) {
  return 0;
}
toff_t tiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* reader = static_cast<MemoryReader*>(handle);
  uint64_t base = whence == SEEK_CUR ? reader->at : whence == SEEK_END ? reader->size : 0;
  uint64_t to = base + offset;
  if (to > reader->size) return static_cast<toff_t>(-1);
  reader->at = static_cast<size_t>(to);
  return to;
}
int tiffClose(thandle_t) {
  return 0;
}
toff_t tiffSize(thandle_t handle) {
  return static_cast<MemoryReader*>(handle)->size;
}

bool decodeTIFF(const uint8_t* bytes, size_t size, Pixels& out) {
  static const bool quiet = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)quiet;
  MemoryReader reader{bytes, size};
  TIFF* tiff = TIFFClientOpen("memory", "rm", &reader, tiffRead, tiffWrite, tiffSeek, tiffClose,
                              tiffSize, nullptr, nullptr);
  if (tiff == nullptr) return false;
  uint32_t width = 0, height = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  bool ok = allocate(out, width, height, 4) &&
            TIFFReadRGBAImageOriented(tiff, width, height,
                                      reinterpret_cast<uint32_t*>(out.samples.data()),
                                      ORIENTATION_TOPLEFT, 0) != 0;
  TIFFClose(tiff);
  if (!ok) return false;
  // libtiff hands back ABGR words (R, G, B, A bytes here) with alpha premultiplied.
  for (size_t i = 0; i < out.samples.size(); i += 4) {
    uint32_t word;
    std::memcpy(&word, &out.samples[i], 4);
    uint8_t a = static_cast<uint8_t>(TIFFGetA(word));
    uint8_t rgb[3] = {static_cast<uint8_t>(TIFFGetR(word)), static_cast<uint8_t>(TIFFGetG(word)),
                      static_cast<uint8_t>(TIFFGetB(word))};
    for (int c = 0; c < 3; ++c) {
      out.samples[i + c] =
          a == 0 ? 0 : static_cast<uint8_t>(std::min(255u, (rgb[c] * 255u + a / 2u) / a));
    }
    out.samples[i + 3] = a;
  }
  return true;
}

// --- HEIC -----------------------------------------------------------------------------------

bool decodeHEIC(const uint8_t* bytes, size_t size, Pixels& out) {
  std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(),
                                                                 heif_context_free);
  if (!context) return false;
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxSide));
  if (heif_context_read_from_memory_without_copy(context.get(), bytes, size, nullptr).code !=
      heif_error_Ok) {
    return false;
  }
  heif_image_handle* handleRaw = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &handleRaw).code != heif_error_Ok) {
    return false;
  }
  std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(
      handleRaw, heif_image_handle_release);
  int width = heif_image_handle_get_width(handle.get());
  int height = heif_image_handle_get_height(handle.get());
  bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  if (width <= 0 || height <= 0 ||
      !acceptableSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height))) {
    return false;
  }
  heif_image* imageRaw = nullptr;
  if (heif_decode_image(handle.get(), &imageRaw, heif_colorspace_RGB,
                        alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr)
          .code != heif_error_Ok) {
    return false;
  }
  std::unique_ptr<heif_image, void (*)(const heif_image*)> image(imageRaw, heif_image_release);
  // The decoded size can differ from the handle's when a rotation applies.
  int decodedWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
  int decodedHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  if (plane == nullptr || decodedWidth <= 0 || decodedHeight <= 0 ||
      !allocate(out, static_cast<uint64_t>(decodedWidth), static_cast<uint64_t>(decodedHeight),
                alpha ? 4 : 3)) {
    return false;
  }
  size_t rowBytes = static_cast<size_t>(decodedWidth) * static_cast<size_t>(out.channels);
  for (int y = 0; y < decodedHeight; ++y) {
    std::memcpy(&out.samples[rowBytes * static_cast<size_t>(y)],
                plane + static_cast<ptrdiff_t>(stride) * y, rowBytes);
  }
  return true;
}

// --- BMP, ICO, CUR (gdk-pixbuf) --------------------------------------------------------------

uint32_t little32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool decodeWithPixbuf(const char* type, const uint8_t* bytes, size_t size, Pixels& out) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type(type, nullptr);
  if (loader == nullptr) return false;
  bool written = gdk_pixbuf_loader_write(loader, bytes, size, nullptr) != FALSE;
  bool closed = gdk_pixbuf_loader_close(loader, nullptr) != FALSE;
  GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  bool ok = pixbuf != nullptr && gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 &&
            gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB;
  if (ok) {
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    int width = gdk_pixbuf_get_width(pixbuf);
    int height = gdk_pixbuf_get_height(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guint8* pixels = gdk_pixbuf_read_pixels(pixbuf);
    ok = (channels == 3 || channels == 4) && width > 0 && height > 0 &&
         allocate(out, static_cast<uint64_t>(width), static_cast<uint64_t>(height), channels);
    size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
    for (int y = 0; ok && y < height; ++y) {
      std::memcpy(&out.samples[rowBytes * static_cast<size_t>(y)],
                  pixels + static_cast<ptrdiff_t>(stride) * y, rowBytes);
    }
  }
  g_object_unref(loader);
  return ok;
}

bool decodeBMP(const uint8_t* bytes, size_t size, Pixels& out) {
  // The header and the picture's size are checked here, before the loader allocates what the
  // file declares (it reads a header of whatever length the file claims).
  if (size < 26) return false;
  uint32_t headerSize = little32(bytes + 14);
  bool core = headerSize == 12;  // the oldest header: 16-bit width and height
  if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 64 &&
      headerSize != 108 && headerSize != 124) {
    return false;
  }
  if (size < 14 + static_cast<size_t>(headerSize)) return false;
  int32_t width = core ? static_cast<int16_t>(bytes[18] | bytes[19] << 8)
                       : static_cast<int32_t>(little32(bytes + 18));
  int32_t height = core ? static_cast<int16_t>(bytes[20] | bytes[21] << 8)
                        : static_cast<int32_t>(little32(bytes + 22));
  if (width <= 0 || height == 0 || height == INT32_MIN ||
      !acceptableSize(static_cast<uint64_t>(width), static_cast<uint64_t>(std::abs(height)))) {
    return false;
  }
  return decodeWithPixbuf("bmp", bytes, size, out);
}

// ICO and CUR: a header (reserved zero, type, count), then 16 bytes per entry (width and
// height, 0 meaning 256; colours; reserved; planes; bits per pixel; size and offset of its data).
// The largest entry is the picture, as on the device. An entry's data is a PNG file (what
// current tools write) or a headerless BMP, which gdk-pixbuf's loader reads.
bool decodeICO(const uint8_t* bytes, size_t size, Pixels& out) {
  if (size < 6) return false;
  size_t count = static_cast<size_t>(bytes[4]) | static_cast<size_t>(bytes[5]) << 8;
  if (count == 0 || size < 6 + 16 * count) return false;
  const uint8_t* largest = nullptr;
  uint32_t largestArea = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = bytes + 6 + 16 * i;
    uint32_t width = entry[0] == 0 ? 256 : entry[0];
    uint32_t height = entry[1] == 0 ? 256 : entry[1];
    if (width * height > largestArea) {
      largestArea = width * height;
      largest = entry;
    }
  }
  uint64_t length = little32(largest + 8);
  uint64_t offset = little32(largest + 12);
  if (offset + length > size) return false;
  const uint8_t* data = bytes + offset;
  if (ns::imageFormatOf(data, static_cast<size_t>(length)) == ns::ImageFormat::PNG) {
    return decodePNG(data, static_cast<size_t>(length), out);
  }
  return decodeWithPixbuf("ico", bytes, size, out);
}

}  // namespace

bool decode(const uint8_t* bytes, size_t size, Pixels& out) {
  if (bytes == nullptr || size == 0) return false;
  switch (ns::imageFormatOf(bytes, size)) {
    case ns::ImageFormat::PNG:
      return decodePNG(bytes, size, out);
    case ns::ImageFormat::JPEG:
      return decodeJPEG(bytes, size, out);
    case ns::ImageFormat::GIF:
      return decodeGIF(bytes, size, out);
    case ns::ImageFormat::TIFF:
      return decodeTIFF(bytes, size, out);
    case ns::ImageFormat::HEIC:
      return decodeHEIC(bytes, size, out);
    case ns::ImageFormat::BMP:
      return decodeBMP(bytes, size, out);
    case ns::ImageFormat::ICO:
      return decodeICO(bytes, size, out);
    case ns::ImageFormat::Other:
      break;
  }
  return false;
}

bool encodePNG(const uint8_t* rgba, uint32_t width, uint32_t height, std::vector<uint8_t>& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = width;
  image.height = height;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  if (png_image_write_to_memory(&image, nullptr, &size, 0, rgba, 0, nullptr) == 0) return false;
  out.resize(size);
  if (png_image_write_to_memory(&image, out.data(), &size, 0, rgba, 0, nullptr) == 0) return false;
  out.resize(size);
  return true;
}

bool encodeJPEG(const uint8_t* rgb, uint32_t width, uint32_t height, int quality,
                std::vector<uint8_t>& out) {
  unsigned char* buffer = nullptr;
  unsigned long length = 0;
  bool ok = encodeJPEGRows(rgb, width, height, std::clamp(quality, 1, 100), &buffer, &length);
  if (ok) out.assign(buffer, buffer + length);
  std::free(buffer);
  return ok;
}

}  // namespace uikit::codecs
