// ZELColor through the runtime, on icons drawn by the CoreGraphics stand-in.
#include <CoreGraphics/CoreGraphics.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>
#include <gtest/gtest.h>
#include <pkprefs3/ZELColor.h>

#include <array>
#include <vector>

namespace {

using Pixel = std::array<uint8_t, 4>;  // straight R, G, B, A

// An icon of width x height pixels at `scale`, rows from the top.
id icon(size_t width, size_t height, const std::vector<Pixel>& pixels, double scale = 1.0,
        CGColorSpaceRef space = nullptr) {
  std::vector<uint8_t> bytes;
  for (const Pixel& p : pixels) bytes.insert(bytes.end(), p.begin(), p.end());
  CGDataProviderRef provider =
      CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGImageRef image =
      CGImageCreate(width, height, 8, 32, width * 4, space ? space : rgb, kCGImageAlphaLast,
                    provider, nullptr, false, kCGRenderingIntentDefault);
  CGColorSpaceRelease(rgb);
  CGDataProviderRelease(provider);
  id result = send(cls("UIImage"), "imageWithCGImage:scale:orientation:", image, scale,
                   UIImageOrientationUp);
  CGImageRelease(image);
  return result;
}
id uniformIcon(size_t width, size_t height, Pixel pixel, double scale = 1.0) {
  return icon(width, height, std::vector<Pixel>(width * height, pixel), scale);
}

std::vector<double> componentsOf(id color) {
  CGColorRef cg = send<CGColorRef>(color, "CGColor");
  const CGFloat* c = CGColorGetComponents(cg);
  return std::vector<double>(c, c + CGColorGetNumberOfComponents(cg));
}

// The colour the averages make: each byte as a float over 255, then widened, alpha 1.
std::vector<double> averageColor(unsigned r, unsigned g, unsigned b) {
  return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
          static_cast<float>(b) / 255.0f, 1.0};
}
const std::vector<double> kOpaqueBlack = {0.0, 0.0, 0.0, 1.0};

std::vector<double> dominant(id image) {
  return componentsOf(ZELColor::dominantColorFromIcon(image));
}

class ColorTest : public ::testing::Test {
 protected:
  ns::AutoreleasePool pool_;
};

TEST_F(ColorTest, IconsWithoutMidTonesGiveOpaqueBlack) {
  EXPECT_EQ(dominant(uniformIcon(8, 8, {0, 0, 0, 0})), kOpaqueBlack);          // transparent
  EXPECT_EQ(dominant(uniformIcon(8, 8, {255, 255, 255, 255})), kOpaqueBlack);  // L = 255
  EXPECT_EQ(dominant(uniformIcon(8, 8, {0, 0, 0, 255})), kOpaqueBlack);        // L = 0
  EXPECT_EQ(dominant(uniformIcon(8, 8, {128, 128, 128, 255})), averageColor(128, 128, 128));
}

TEST_F(ColorTest, LuminanceBoundsAreExclusiveInDoubleArithmetic) {
  // Byte triples whose luminance is exactly 20 or exactly 230 in double arithmetic stay out.
  for (Pixel p : {Pixel{20, 20, 20, 255}, Pixel{2, 8, 129, 255}, Pixel{189, 247, 250, 255},
                  Pixel{222, 250, 148, 255}}) {
    EXPECT_EQ(dominant(uniformIcon(3, 3, p)), kOpaqueBlack)
        << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
  }
  // Just inside: grey 21, and grey 230, whose luminance rounds to 229.99999999999997.
  EXPECT_EQ(dominant(uniformIcon(3, 3, {21, 21, 21, 255})), averageColor(21, 21, 21));
  EXPECT_EQ(dominant(uniformIcon(3, 3, {230, 230, 230, 255})), averageColor(230, 230, 230));
}

TEST_F(ColorTest, EveryThirdPixelIsSampledAcrossRows) {
  const Pixel red{200, 30, 30, 255}, green{30, 200, 30, 255}, blue{30, 30, 200, 255};
  // 3 x 1: only the first pixel.
  EXPECT_EQ(dominant(icon(3, 1, {red, green, blue})), averageColor(200, 30, 30));
  // 4 x 1: the first and the fourth, averaged with truncation: (100 + 201) / 2 = 150.
  EXPECT_EQ(dominant(icon(4, 1, {{100, 50, 30, 255}, green, blue, {201, 60, 41, 255}})),
            averageColor(150, 55, 35));
  // 2 x 3: pixels 0, 3 of six, that is the first of row 0 and the second of row 1.
  EXPECT_EQ(dominant(icon(2, 3, {red, blue, blue, green, blue, blue})), averageColor(115, 115, 30));
}

TEST_F(ColorTest, PartlyTransparentPixelsCountDarkened) {
  // (200, 100, 60) at alpha 128 is premultiplied to (100, 50, 30).
  EXPECT_EQ(dominant(uniformIcon(3, 1, {200, 100, 60, 128})), averageColor(100, 50, 30));
}

TEST_F(ColorTest, BitmapIsMadeAtTheSizeInPoints) {
  // 2 x 2 pixels at scale 2 is one point: the bitmap holds one pixel, the average of four.
  const Pixel red{200, 0, 0, 255}, green{0, 200, 0, 255};
  EXPECT_EQ(dominant(icon(2, 2, {red, green, green, red}, 2.0)), averageColor(100, 100, 0));
  // 10 x 10 pixels at scale 3 is 3.33 points: the bitmap is 3 x 3 whole pixels, and every
  // pixel read is a pixel drawn (no bytes shifted by a fractional row).
  EXPECT_EQ(dominant(uniformIcon(10, 10, {200, 40, 90, 255}, 3.0)), averageColor(200, 40, 90));
}

TEST_F(ColorTest, EmptyImagesGiveOpaqueBlack) {
  EXPECT_EQ(dominant(nil), kOpaqueBlack);
  EXPECT_EQ(dominant(ns::autorelease(send(send(cls("UIImage"), "alloc"), "init"))), kOpaqueBlack);
  // One pixel at scale 2 is half a point: no whole pixel to draw into.
  EXPECT_EQ(dominant(uniformIcon(1, 1, {128, 128, 128, 255}, 2.0)), kOpaqueBlack);
}

TEST_F(ColorTest, GreyIconsAreDrawnInRGB) {
  uint8_t grey[6] = {100, 100, 100, 100, 100, 100};
  CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, grey, sizeof grey, nullptr);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceGray();
  CGImageRef image = CGImageCreate(3, 2, 8, 8, 3, space, kCGImageAlphaNone, provider, nullptr,
                                   false, kCGRenderingIntentDefault);
  id greyIcon = send(cls("UIImage"), "imageWithCGImage:", image);
  EXPECT_EQ(dominant(greyIcon), averageColor(100, 100, 100));
  CGImageRelease(image);
  CGColorSpaceRelease(space);
  CGDataProviderRelease(provider);
}

id colorWith(std::vector<CGFloat> components) {
  CGColorRef cg = cg_host::createColorWithComponents(components.data(), components.size());
  id color = send(cls("UIColor"), "colorWithCGColor:", cg);
  CGColorRelease(cg);
  return color;
}
const char* textFor(id background) {
  id answer = send(cls("ZELColor"), "textColorForBackgroundColor:", background);
  if (answer == send(cls("UIColor"), "blackColor")) return "black";
  if (answer == send(cls("UIColor"), "whiteColor")) return "white";
  return "other";
}

TEST_F(ColorTest, TextColorFollowsBrightness) {
  id uiColor = cls("UIColor");
  EXPECT_STREQ(textFor(send(uiColor, "whiteColor")), "black");  // grey, c[0] = 1
  EXPECT_STREQ(textFor(send(uiColor, "blackColor")), "white");
  EXPECT_STREQ(textFor(send(uiColor, "colorWithRed:green:blue:alpha:", 1.0, 1.0, 0.0, 1.0)),
               "black");  // yellow: 225.93
  EXPECT_STREQ(textFor(send(uiColor, "colorWithRed:green:blue:alpha:", 1.0, 0.0, 0.0, 1.0)),
               "white");  // red: 76.245
  EXPECT_STREQ(textFor(send(uiColor, "colorWithWhite:alpha:", 200.0 / 255.0, 1.0)), "black");
  EXPECT_STREQ(textFor(send(uiColor, "colorWithWhite:alpha:", 199.0 / 255.0, 1.0)), "white");
  // Alpha plays no part.
  EXPECT_STREQ(textFor(send(uiColor, "colorWithWhite:alpha:", 1.0, 0.0)), "black");
  EXPECT_STREQ(textFor(send(uiColor, "colorWithRed:green:blue:alpha:", 1.0, 1.0, 1.0, 0.0)),
               "black");
}

TEST_F(ColorTest, TextColorIsWhiteForOtherComponentCounts) {
  EXPECT_STREQ(textFor(colorWith({1.0})), "white");
  EXPECT_STREQ(textFor(colorWith({1.0, 1.0, 1.0})), "white");
  EXPECT_STREQ(textFor(colorWith({1.0, 1.0, 1.0, 1.0, 1.0})), "white");
  EXPECT_STREQ(textFor(nil), "white");
}

}  // namespace
