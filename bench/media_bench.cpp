// The picker's media work on full-size media: exporting a 60-second 1080p H.264 video into the
// other container against a plain copy of the same file, taking its first frame, and decoding a
// 12-megapixel HEIC through UIImage against libheif's own decode. The media are made once, by
// the project's own generator, and kept in the build folder.
#include <AVFoundation/AVFoundation.h>
#include <Foundation/Foundation.h>
#include <benchmark/benchmark.h>
#include <libheif/heif.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "build_paths.h"
#include "media.h"

namespace fs = std::filesystem;

namespace {

const fs::path kFolder = fs::path(PLINKA_BUILD_DIR) / "bench-media";

const std::string& longVideo() {
  static const std::string path = [] {
    fs::create_directories(kFolder);
    std::string file = (kFolder / "long-1080p-grain.mov").string();
    if (!fs::exists(file)) {
      media::VideoSpec shape;
      shape.width = 1920;
      shape.height = 1080;
      shape.framesPerSecond = 30;
      shape.seconds = 60;
      shape.fast = true;
      shape.grain = 6;  // a camera's bit rate, not a cartoon's
      std::string error;
      if (!media::writeVideo(file + ".part", shape, error))
        std::fprintf(stderr, "%s\n", error.c_str());
      fs::rename(file + ".part", file);
    }
    return file;
  }();
  return path;
}

const std::vector<uint8_t>& bigHEIC() {
  static const std::vector<uint8_t> bytes = [] {
    fs::create_directories(kFolder);
    std::string file = (kFolder / "12mp.heic").string();
    std::string error;
    if (!fs::exists(file) && !media::writeHEIC(file, 4032, 3024, 200, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
    }
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
  }();
  return bytes;
}

void BM_ExportByStreamCopy(benchmark::State& state) {
  std::string out = (kFolder / "export.mp4").string();
  for (auto _ : state) {
    fs::remove(out);
    NSInteger code = avfoundation::exportByStreamCopy(longVideo(), out, "public.mpeg-4");
    if (code != 0) state.SkipWithError("export failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(longVideo())));
  fs::remove(out);
}
BENCHMARK(BM_ExportByStreamCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: the same file read and written in 1 MiB blocks.
void BM_PlainCopy(benchmark::State& state) {
  std::string out = (kFolder / "copy.mov").string();
  std::vector<char> block(1 << 20);
  for (auto _ : state) {
    std::FILE* in = std::fopen(longVideo().c_str(), "rb");
    std::FILE* to = std::fopen(out.c_str(), "wb");
    size_t n = 0;
    while ((n = std::fread(block.data(), 1, block.size(), in)) > 0)
      std::fwrite(block.data(), 1, n, to);
    std::fclose(in);
    std::fclose(to);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(longVideo())));
  fs::remove(out);
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FirstFrame(benchmark::State& state) {
  std::vector<uint8_t> rgba;
  int width = 0, height = 0;
  for (auto _ : state) {
    if (!avfoundation::firstFrame(longVideo(), rgba, width, height))
      state.SkipWithError("no frame");
  }
}
BENCHMARK(BM_FirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImageWithDataHEIC(benchmark::State& state) {
  ns::AutoreleasePool outer;
  id data = ns::data(bigHEIC().data(), bigHEIC().size());
  for (auto _ : state) {
    ns::AutoreleasePool pool;
    if (send(cls("UIImage"), "imageWithData:", data) == nil) state.SkipWithError("no image");
  }
}
BENCHMARK(BM_ImageWithDataHEIC)->Unit(benchmark::kMillisecond)->UseRealTime();

// The yardstick: libheif alone decoding the same bytes to interleaved RGB.
void BM_LibheifDecode(benchmark::State& state) {
  for (auto _ : state) {
    heif_context* context = heif_context_alloc();
    heif_context_read_from_memory_without_copy(context, bigHEIC().data(), bigHEIC().size(),
                                               nullptr);
    heif_image_handle* handle = nullptr;
    heif_context_get_primary_image_handle(context, &handle);
    heif_image* image = nullptr;
    heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
    benchmark::DoNotOptimize(image);
    heif_image_release(image);
    heif_image_handle_release(handle);
    heif_context_free(context);
  }
}
BENCHMARK(BM_LibheifDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
// The media are made (or found) before anything is timed.
int main(int argc, char** argv) {
  longVideo();
  bigHEIC();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
