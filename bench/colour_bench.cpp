// +[ZELColor dominantColorFromIcon:] on a 1024 x 1024 icon already decoded, against one plain
// pass that reads every byte of the same bitmap. Target: under 3x the plain pass (compare
// BM_DominantColour/1 with BM_PlainPass).
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
#include <UIKit/UIImage.h>
#include <benchmark/benchmark.h>
#include <pkprefs3/ZELColor.h>

#include <cstdint>
#include <vector>

namespace {

constexpr size_t kSide = 1024;

// An icon-like bitmap: a colour gradient with a light rim and transparent corners.
const std::vector<uint8_t>& iconPixels() {
  static const std::vector<uint8_t> pixels = [] {
    std::vector<uint8_t> bytes(kSide * kSide * 4);
    for (size_t y = 0; y < kSide; ++y) {
      for (size_t x = 0; x < kSide; ++x) {
        uint8_t* p = &bytes[(y * kSide + x) * 4];
        bool corner = (x < 64 || x >= kSide - 64) && (y < 64 || y >= kSide - 64);
        bool rim = x < 96 || y < 96 || x >= kSide - 96 || y >= kSide - 96;
        p[0] = rim ? 245 : static_cast<uint8_t>(40 + x * 160 / kSide);
        p[1] = rim ? 245 : static_cast<uint8_t>(60 + y * 140 / kSide);
        p[2] = rim ? 245 : static_cast<uint8_t>(((x ^ y) & 0x3F) + 90);
        p[3] = corner ? 0 : 255;
      }
    }
    return bytes;
  }();
  return pixels;
}

// The decoded icon, as UIImage holds one, at `scale` (1: 1024 points; 3: 341.33 points).
id decodedIcon(double scale) {
  const std::vector<uint8_t>& bytes = iconPixels();
  CGDataProviderRef provider =
      CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGImageRef image = CGImageCreate(kSide, kSide, 8, 32, kSide * 4, rgb, kCGImageAlphaLast, provider,
                                   nullptr, false, kCGRenderingIntentDefault);
  id icon = ns::retain(send(cls("UIImage"), "imageWithCGImage:scale:orientation:", image, scale,
                            UIImageOrientationUp));
  CGImageRelease(image);
  CGColorSpaceRelease(rgb);
  CGDataProviderRelease(provider);
  return icon;
}

void BM_PlainPass(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = iconPixels();
  for (auto _ : state) {
    uint64_t sum = 0;
    for (uint8_t byte : bytes) sum += byte;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_PlainPass)->Unit(benchmark::kMicrosecond);

void BM_DominantColour(benchmark::State& state) {
  ns::AutoreleasePool outer;
  id icon = decodedIcon(static_cast<double>(state.range(0)));
  id zelColor = asId(ZELColor::runtimeClass());
  for (auto _ : state) {
    ns::AutoreleasePool pool;
    benchmark::DoNotOptimize(send(zelColor, "dominantColorFromIcon:", icon));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * iconPixels().size()));
  ns::release(icon);
}
BENCHMARK(BM_DominantColour)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
