// The graphics stand-ins: bitmap contexts and drawing, UIImage decoding and encoding, UIColor.
#include <CoreGraphics/CoreGraphics.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>
#include <device/device.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Pixel = std::array<uint8_t, 4>;

CGImageRef straightImage(size_t width, size_t height, const std::vector<Pixel>& pixels) {
  std::vector<uint8_t> bytes;
  for (const Pixel& p : pixels) bytes.insert(bytes.end(), p.begin(), p.end());
  CGDataProviderRef provider =
      CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate(width, height, 8, 32, width * 4, rgb, kCGImageAlphaLast,
                                   provider, nullptr, false, kCGRenderingIntentDefault);
  CGColorSpaceRelease(rgb);
  CGDataProviderRelease(provider);
  return image;
}

// A premultiplied RGBA context over `buffer` (width x height pixels), drawn into by `draw`.
std::vector<Pixel> drawn(size_t width, size_t height, CGRect rect, CGImageRef image,
                         std::vector<Pixel> buffer = {}) {
  if (buffer.empty()) buffer.assign(width * height, Pixel{0, 0, 0, 0});
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGContextRef context = CGBitmapContextCreate(buffer.data(), width, height, 8, width * 4, rgb,
                                               kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(rgb);
  EXPECT_NE(context, nullptr);
  CGContextDrawImage(context, rect, image);
  CGContextRelease(context);
  return buffer;
}

TEST(BitmapContextTest, RefusesFormatsThePlatformRefuses) {
  uint8_t buffer[64] = {};
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGColorSpaceRef gray = CGColorSpaceCreateDeviceGray();
  // Grey has no premultiplied-alpha bitmaps; RGB has no straight-alpha ones.
  EXPECT_EQ(CGBitmapContextCreate(buffer, 2, 2, 8, 8, gray, kCGImageAlphaPremultipliedLast),
            nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buffer, 2, 2, 8, 8, rgb, kCGImageAlphaLast), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buffer, 0, 0, 8, 0, rgb, kCGImageAlphaPremultipliedLast),
            nullptr);
  EXPECT_EQ(CGBitmapContextCreate(buffer, 2, 2, 8, 7, rgb, kCGImageAlphaPremultipliedLast),
            nullptr);  // a row shorter than its pixels
  CGContextRef own = CGBitmapContextCreate(nullptr, 3, 2, 8, 0, rgb, kCGImageAlphaNoneSkipFirst);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(CGBitmapContextGetBytesPerRow(own), 12u);
  EXPECT_EQ(static_cast<uint8_t*>(CGBitmapContextGetData(own))[11], 0);
  CGContextRelease(own);
  CGColorSpaceRelease(gray);
  CGColorSpaceRelease(rgb);
}

TEST(BitmapContextTest, DrawsPremultipliedWithTheTopRowFirst) {
  CGImageRef image = straightImage(1, 2, {{200, 100, 50, 255}, {200, 100, 50, 128}});
  std::vector<Pixel> out = drawn(1, 2, CGRectMake(0, 0, 1, 2), image);
  EXPECT_EQ(out[0], (Pixel{200, 100, 50, 255}));
  EXPECT_EQ(out[1], (Pixel{100, 50, 25, 128}));
  // A rectangle one pixel high at y = 0 is the bottom row, the last in memory.
  out = drawn(1, 2, CGRectMake(0, 0, 1, 1), image);
  EXPECT_EQ(out[0], (Pixel{0, 0, 0, 0}));
  EXPECT_NE(out[1], (Pixel{0, 0, 0, 0}));
  CGImageRelease(image);
}

TEST(BitmapContextTest, CompositesSourceOverWhatIsThere) {
  CGImageRef image = straightImage(3, 1, {{0, 0, 0, 0}, {255, 0, 0, 255}, {255, 0, 0, 128}});
  std::vector<Pixel> under(3, Pixel{0, 0, 200, 255});
  std::vector<Pixel> out = drawn(3, 1, CGRectMake(0, 0, 3, 1), image, under);
  EXPECT_EQ(out[0], (Pixel{0, 0, 200, 255}));    // clear: untouched
  EXPECT_EQ(out[1], (Pixel{255, 0, 0, 255}));    // opaque: replaced
  EXPECT_EQ(out[2], (Pixel{128, 0, 100, 255}));  // half: 128 + 0, 200 * 127 / 255 rounded
  CGImageRelease(image);
}

TEST(BitmapContextTest, ScalesIntoTheRectangle) {
  CGImageRef quad = straightImage(
      2, 2, {{200, 0, 0, 255}, {0, 200, 0, 255}, {0, 0, 200, 255}, {200, 200, 200, 255}});
  // Shrunk to one pixel: the average of the four.
  EXPECT_EQ(drawn(1, 1, CGRectMake(0, 0, 1, 1), quad)[0], (Pixel{100, 100, 100, 255}));
  CGImageRelease(quad);
  // Half a pixel covered: the edge pixel is blended by its coverage.
  CGImageRef white = straightImage(1, 1, {{255, 255, 255, 255}});
  std::vector<Pixel> edge = drawn(2, 1, CGRectMake(0.5, 0, 1, 1), white);
  EXPECT_EQ(edge[0], (Pixel{128, 128, 128, 128}));
  EXPECT_EQ(edge[1], (Pixel{128, 128, 128, 128}));
  // Nothing to draw: no image, an empty or non-finite rectangle.
  EXPECT_EQ(drawn(1, 1, CGRectMake(0, 0, NAN, 1), white)[0], (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(drawn(1, 1, CGRectMake(0, 0, 1, 1), nullptr)[0], (Pixel{0, 0, 0, 0}));
  CGImageRelease(white);
}

// --- UIImage ------------------------------------------------------------------------------

void appendTo(void* context, void* data, int size) {
  auto* out = static_cast<std::string*>(context);
  out->append(static_cast<const char*>(data), static_cast<size_t>(size));
}
std::string png(int width, int height, int channels, const std::vector<uint8_t>& pixels) {
  std::string out;
  stbi_write_png_to_func(appendTo, &out, width, height, channels, pixels.data(), width * channels);
  return out;
}
std::string jpeg(int width, int height, const std::vector<uint8_t>& rgb) {
  std::string out;
  stbi_write_jpg_to_func(appendTo, &out, width, height, 3, rgb.data(), 95);
  return out;
}
id dataOf(const std::string& bytes) {
  return ns::data(bytes.data(), bytes.size());
}
id imageFrom(const std::string& bytes, double scale = 1.0) {
  return send(cls("UIImage"), "imageWithData:scale:", dataOf(bytes), scale);
}
CGSize sizeOf(id image) {
  return send<CGSize>(image, "size");
}

class ImageTest : public ::testing::Test {
 protected:
  ns::AutoreleasePool pool_;
};

TEST_F(ImageTest, DecodesPngJpegAndGifWithSizeInPoints) {
  std::vector<uint8_t> rgba(6 * 4 * 4, 255);
  id fromPng = imageFrom(png(6, 4, 4, rgba), 2.0);
  ASSERT_NE(fromPng, nil);
  EXPECT_EQ(CGImageGetWidth(send<CGImageRef>(fromPng, "CGImage")), 6u);
  EXPECT_EQ(sizeOf(fromPng).width, 3.0);
  EXPECT_EQ(sizeOf(fromPng).height, 2.0);
  EXPECT_EQ(send<double>(fromPng, "scale"), 2.0);
  EXPECT_EQ(sizeOf(send(cls("UIImage"), "imageWithData:", dataOf(png(6, 4, 4, rgba)))).width, 6.0);

  id fromJpeg = imageFrom(jpeg(5, 3, std::vector<uint8_t>(5 * 3 * 3, 90)));
  ASSERT_NE(fromJpeg, nil);
  EXPECT_EQ(sizeOf(fromJpeg).width, 5.0);
  EXPECT_EQ(CGColorSpaceGetModel(CGImageGetColorSpace(send<CGImageRef>(fromJpeg, "CGImage"))),
            kCGColorSpaceModelRGB);

  // A 1 x 1 GIF whose one pixel is palette entry 0, red.
  const std::string gif(
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
      ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
      35);
  id fromGif = imageFrom(gif);
  ASSERT_NE(fromGif, nil);
  EXPECT_EQ(drawn(1, 1, CGRectMake(0, 0, 1, 1), send<CGImageRef>(fromGif, "CGImage"))[0],
            (Pixel{255, 0, 0, 255}));

  id grey = imageFrom(png(2, 2, 1, {0, 80, 160, 240}));
  EXPECT_EQ(CGColorSpaceGetModel(CGImageGetColorSpace(send<CGImageRef>(grey, "CGImage"))),
            kCGColorSpaceModelMonochrome);
}

TEST_F(ImageTest, BytesThatAreNoImageGiveNil) {
  std::string valid = png(4, 4, 4, std::vector<uint8_t>(64, 200));
  EXPECT_EQ(imageFrom("this is not an image"), nil);
  EXPECT_EQ(imageFrom(""), nil);
  EXPECT_EQ(imageFrom(valid.substr(0, valid.size() / 2)), nil);  // truncated
  EXPECT_EQ(send(cls("UIImage"), "imageWithData:", nil), nil);
  // A header that declares 100000 x 100000 pixels is refused before anything is allocated.
  std::string huge = valid;
  const char side[4] = {0x00, 0x01, (char)0x86, (char)0xA0};
  huge.replace(16, 4, side, 4);
  huge.replace(20, 4, side, 4);
  EXPECT_EQ(imageFrom(huge), nil);
}

TEST_F(ImageTest, FilesAreDevicePathsAndCarryTheirScale) {
  fs::path root = fs::temp_directory_path() / ("plinka-images-" + std::to_string(getpid()));
  fs::create_directories(root / "Bundle.bundle");
  std::ofstream(root / "Bundle.bundle/icon@2x.png", std::ios::binary)
      << png(8, 8, 4, std::vector<uint8_t>(256, 255));
  device::setRoot(root.string());
  id image =
      send(cls("UIImage"), "imageWithContentsOfFile:", ns::string("/Bundle.bundle/icon@2x.png"));
  ASSERT_NE(image, nil);
  EXPECT_EQ(send<double>(image, "scale"), 2.0);
  EXPECT_EQ(sizeOf(image).width, 4.0);
  EXPECT_EQ(send(cls("UIImage"), "imageWithContentsOfFile:", ns::string("/missing.png")), nil);
  device::setRoot("");
  fs::remove_all(root);
}

TEST_F(ImageTest, PngRepresentationRoundTrips) {
  std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 0, 10, 20, 30, 255, 0, 0, 255, 255};
  id image = imageFrom(png(2, 2, 4, rgba));
  id encoded = UIImagePNGRepresentation(image);
  ASSERT_NE(encoded, nil);
  id again = send(cls("UIImage"), "imageWithData:", encoded);
  ASSERT_NE(again, nil);
  std::vector<Pixel> first =
      drawn(2, 2, CGRectMake(0, 0, 2, 2), send<CGImageRef>(image, "CGImage"));
  std::vector<Pixel> second =
      drawn(2, 2, CGRectMake(0, 0, 2, 2), send<CGImageRef>(again, "CGImage"));
  EXPECT_EQ(first, second);

  EXPECT_EQ(UIImagePNGRepresentation(nil), nil);
  EXPECT_EQ(UIImageJPEGRepresentation(nil, 1.0), nil);
}

// An icon file as current tools write it: ICONDIR (reserved 0, type 1, count), one 16-byte
// entry per picture (width, height, colours, reserved, planes, bits, size, offset), each
// picture a whole PNG file.
std::string icoOf(const std::vector<std::pair<int, std::string>>& squares) {
  auto le16 = [](std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>(v >> 8 & 0xff);
  };
  auto le32 = [&](std::string& out, unsigned v) {
    le16(out, v & 0xffff);
    le16(out, v >> 16);
  };
  std::string out;
  le16(out, 0);
  le16(out, 1);
  le16(out, static_cast<unsigned>(squares.size()));
  unsigned offset = 6 + 16 * static_cast<unsigned>(squares.size());
  for (const auto& [side, bytes] : squares) {
    out += static_cast<char>(side == 256 ? 0 : side);
    out += static_cast<char>(side == 256 ? 0 : side);
    out += '\0';
    out += '\0';
    le16(out, 1);
    le16(out, 32);
    le32(out, static_cast<unsigned>(bytes.size()));
    le32(out, offset);
    offset += static_cast<unsigned>(bytes.size());
  }
  for (const auto& square : squares) out += square.second;
  return out;
}
std::string square(int side, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> rgba;
  for (int i = 0; i < side * side; ++i) rgba.insert(rgba.end(), {r, g, b, 255});
  return png(side, side, 4, rgba);
}

TEST_F(ImageTest, AnIconOfPngPicturesDecodesItsLargestPicture) {
  // The largest picture is neither the first nor the last entry.
  id icon = imageFrom(icoOf({{2, square(2, 0, 0, 255)}, {5, square(5, 255, 0, 0)},
                             {3, square(3, 0, 255, 0)}}));
  ASSERT_NE(icon, nil) << "an ICO of PNG entries is what the device reads";
  EXPECT_EQ(sizeOf(icon).width, 5.0);
  EXPECT_EQ(sizeOf(icon).height, 5.0);
  EXPECT_EQ(drawn(1, 1, CGRectMake(0, 0, 1, 1), send<CGImageRef>(icon, "CGImage"))[0],
            (Pixel{255, 0, 0, 255}));
  // Side 0 in an entry means 256: that picture is larger than a 255 one.
  id large = imageFrom(icoOf({{255, square(255, 0, 0, 255)}, {256, square(256, 0, 255, 0)}}));
  ASSERT_NE(large, nil);
  EXPECT_EQ(sizeOf(large).width, 256.0);
  // An entry whose picture lies past the end of the file, or a file of entries without any.
  std::string cut = icoOf({{4, square(4, 1, 2, 3)}});
  EXPECT_EQ(imageFrom(cut.substr(0, cut.size() - 10)), nil);
  EXPECT_EQ(imageFrom(icoOf({})), nil);
  EXPECT_EQ(imageFrom(std::string("\0\0\1\0\1\0", 6)), nil);
}

// The journal names data by the same signatures that choose the decoder.
TEST_F(ImageTest, TheJournalNamesDataByItsImageFormat) {
  auto format = [](const std::string& bytes) {
    return ns::toJson(dataOf(bytes))["format"].get<std::string>();
  };
  auto isoMedia = [](const char* brand) {
    return std::string("\0\0\0\x18" "ftyp", 8) + brand + std::string("\0\0\0\0mif1heic", 12);
  };
  EXPECT_EQ(format(square(1, 0, 0, 0)), "png");
  EXPECT_EQ(format(jpeg(1, 1, {0, 0, 0})), "jpeg");
  EXPECT_EQ(format("GIF87a..."), "gif");
  EXPECT_EQ(format(std::string("II*\0", 4)), "tiff");
  EXPECT_EQ(format(std::string("MM\0*", 4)), "tiff");
  EXPECT_EQ(format("BM......"), "bmp");
  EXPECT_EQ(format(icoOf({{1, square(1, 0, 0, 0)}})), "ico");
  EXPECT_EQ(format(std::string("\0\0\2\0", 4)), "ico");  // a cursor
  for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"}) {
    EXPECT_EQ(format(isoMedia(brand)), "heic") << brand;
  }
  EXPECT_EQ(format(isoMedia("mp42")), "other") << "a video is no picture";
  EXPECT_EQ(format(isoMedia("avif")), "other");
  EXPECT_EQ(format("\x89PNG"), "other") << "a signature cut short";
  EXPECT_EQ(format(""), "other");
}

// --- UIColor ------------------------------------------------------------------------------

size_t componentCount(id color) {
  return CGColorGetNumberOfComponents(send<CGColorRef>(color, "CGColor"));
}

TEST(UIColorTest, ComponentCountsFollowThePlatform) {
  ns::AutoreleasePool pool;
  id uiColor = cls("UIColor");
  for (const char* grey :
       {"blackColor", "whiteColor", "grayColor", "lightGrayColor", "clearColor"}) {
    EXPECT_EQ(componentCount(send(uiColor, grey)), 2u) << grey;
  }
  EXPECT_EQ(componentCount(send(uiColor, "colorWithWhite:alpha:", 0.3, 1.0)), 2u);
  EXPECT_EQ(componentCount(send(uiColor, "colorWithRed:green:blue:alpha:", 0.1, 0.2, 0.3, 1.0)),
            4u);
  id systemGray = send(uiColor, "systemGrayColor");
  ASSERT_EQ(componentCount(systemGray), 4u);
  const CGFloat* c = CGColorGetComponents(send<CGColorRef>(systemGray, "CGColor"));
  EXPECT_EQ(c[0] * 255, 142);
  EXPECT_EQ(c[2] * 255, 147);
  EXPECT_EQ(send(uiColor, "blackColor"), send(uiColor, "blackColor"));  // one shared object
}

}  // namespace
