// The media stand-ins: image codecs and encoders, the photo library, video export and first
// frames, and the dispatch queues that call their handlers later.
#include <AVFoundation/AVFoundation.h>
#include <Foundation/Block.h>
#include <Foundation/dispatch.h>
#include <Photos/Photos.h>
#include <UIKit/UIImage.h>
#include <device/journal.h>
#include <gtest/gtest.h>
#include <tiffio.h>
#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "media.h"
#include "temporary_folder.h"

namespace fs = std::filesystem;
using testing_support::TemporaryDeviceRoot;
using testing_support::TemporaryFolder;

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}
id dataOf(const std::vector<uint8_t>& bytes) {
  return ns::data(bytes.data(), bytes.size());
}
id imageOf(const std::vector<uint8_t>& bytes) {
  return send(cls("UIImage"), "imageWithData:", dataOf(bytes));
}
CGSize sizeOf(id image) {
  return send<CGSize>(image, "size");
}
void append32(std::vector<uint8_t>& out, uint32_t v, bool big = false) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(big ? v >> (24 - 8 * i) : v >> (8 * i)));
}
void append16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// A 2 x 2 24-bit BMP (rows bottom up, padded to 4 bytes), as pixel data at `offset`.
std::vector<uint8_t> bmpBytes(int32_t width = 2, int32_t height = 2) {
  std::vector<uint8_t> b = {'B', 'M'};
  append32(b, 54 + 16);
  append32(b, 0);
  append32(b, 54);
  append32(b, 40);
  append32(b, static_cast<uint32_t>(width));
  append32(b, static_cast<uint32_t>(height));
  append16(b, 1);
  append16(b, 24);
  for (int i = 0; i < 6; ++i) append32(b, i == 1 ? 16 : 0);
  // Bottom row: blue, green; top row: red, white (BGR order).
  b.insert(b.end(), {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0});
  return b;
}

// An ICO (or, with type 2, a CUR) holding one 2 x 2 32-bit icon.
std::vector<uint8_t> iconBytes(uint16_t type) {
  std::vector<uint8_t> b;
  append16(b, 0);
  append16(b, type);
  append16(b, 1);
  std::vector<uint8_t> dib;
  append32(dib, 40);
  append32(dib, 2);
  append32(dib, 4);  // twice the height: colour and mask
  append16(dib, 1);
  append16(dib, 32);
  for (int i = 0; i < 6; ++i) append32(dib, 0);
  for (int i = 0; i < 4; ++i) dib.insert(dib.end(), {0, 0, 255, 255});  // red, BGRA
  for (int i = 0; i < 2; ++i) append32(dib, 0);                         // mask rows
  b.insert(b.end(), {2, 2, 0, 0});
  append16(b, 1);
  append16(b, 32);
  append32(b, static_cast<uint32_t>(dib.size()));
  append32(b, 22);
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

std::vector<uint8_t> tiffBytes(const std::string& folder) {
  std::string path = folder + "/t.tif";
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 3);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 2);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  uint8_t row[9] = {0, 255, 0, 0, 255, 0, 0, 255, 0};
  for (uint32_t y = 0; y < 2; ++y) TIFFWriteScanline(tiff, row, y, 0);
  TIFFClose(tiff);
  return readFile(path);
}

// The top-left pixel of an image, straight RGBA.
std::array<uint8_t, 4> firstPixel(id image) {
  std::array<uint8_t, 4> pixel{};
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGImageRef cg = send<CGImageRef>(image, "CGImage");
  size_t w = CGImageGetWidth(cg), h = CGImageGetHeight(cg);
  std::vector<uint8_t> all(w * h * 4);
  CGContextRef context =
      CGBitmapContextCreate(all.data(), w, h, 8, w * 4, rgb, kCGImageAlphaPremultipliedLast);
  CGContextDrawImage(context, CGRectMake(0, 0, static_cast<double>(w), static_cast<double>(h)), cg);
  CGContextRelease(context);
  CGColorSpaceRelease(rgb);
  std::copy_n(all.begin(), 4, pixel.begin());
  return pixel;
}

TEST(ImageCodecTest, ReadsEveryFormatTheDeviceReads) {
  ns::AutoreleasePool pool;
  TemporaryFolder folder;
  std::string error;
  auto made = [&](const char* name, auto writer) {
    std::string path = folder.path() + "/" + name;
    EXPECT_TRUE(writer(path, 64, 48, 0, error)) << error;
    return readFile(path);
  };
  struct Case {
    const char* format;
    std::vector<uint8_t> bytes;
    CGSize size;
  };
  std::vector<Case> cases = {
      {"HEIC", made("a.heic", media::writeHEIC), {64, 48}},
      {"JPEG", made("a.jpg", media::writeJPEG), {64, 48}},
      {"PNG", made("a.png", media::writePNG), {64, 48}},
      {"GIF", made("a.gif", media::writeGIF), {64, 48}},
      {"TIFF", tiffBytes(folder.path()), {3, 2}},
      {"BMP", bmpBytes(), {2, 2}},
      {"ICO", iconBytes(1), {2, 2}},
      {"CUR", iconBytes(2), {2, 2}},
  };
  for (const Case& c : cases) {
    id image = imageOf(c.bytes);
    ASSERT_NE(image, nil) << c.format;
    EXPECT_EQ(sizeOf(image).width, c.size.width) << c.format;
    EXPECT_EQ(sizeOf(image).height, c.size.height) << c.format;
  }
  // The pixels are the file's, top row first: the generated pictures are red at the top left
  // (hue 0, dark end of the gradient), the TIFF green, the BMP's top row starts red.
  EXPECT_GT(firstPixel(imageOf(cases[1].bytes))[0], 60);
  EXPECT_LT(firstPixel(imageOf(cases[1].bytes))[1], 30);
  EXPECT_EQ(firstPixel(imageOf(cases[4].bytes))[1], 255);
  EXPECT_EQ(firstPixel(imageOf(cases[5].bytes))[0], 255);
  EXPECT_EQ(firstPixel(imageOf(cases[6].bytes))[0], 255);
}

// A PNG whose header declares `width` x `height`, with a correct checksum, and no pixels.
std::vector<uint8_t> pngClaiming(uint32_t width, uint32_t height) {
  std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> chunk = {'I', 'H', 'D', 'R'};
  append32(chunk, width, true);
  append32(chunk, height, true);
  chunk.insert(chunk.end(), {8, 6, 0, 0, 0});
  append32(b, 13, true);
  b.insert(b.end(), chunk.begin(), chunk.end());
  append32(b, static_cast<uint32_t>(crc32(0, chunk.data(), static_cast<uInt>(chunk.size()))), true);
  return b;
}

TEST(ImageCodecTest, BytesThatAreNoPictureOrClaimTooMuchGiveNothing) {
  ns::AutoreleasePool pool;
  TemporaryFolder folder;
  std::string error;
  ASSERT_TRUE(media::writeHEIC(folder.path() + "/a.heic", 64, 48, 0, error)) << error;
  ASSERT_TRUE(media::writeJPEG(folder.path() + "/a.jpg", 64, 48, 0, error)) << error;
  std::vector<uint8_t> heic = readFile(folder.path() + "/a.heic");
  std::vector<uint8_t> jpeg = readFile(folder.path() + "/a.jpg");
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
  append16(gif, 65535);
  append16(gif, 65535);
  gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
  gif.insert(gif.end(), {',', 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 2, 2, 0x44, 0x01, 0, ';'});
  std::vector<std::pair<const char*, std::vector<uint8_t>>> bad = {
      {"empty", {}},
      {"text", {'h', 'e', 'l', 'l', 'o'}},
      {"truncated HEIC",
       std::vector<uint8_t>(heic.begin(), heic.begin() + static_cast<long>(heic.size() / 2))},
      {"HEIC signature only", std::vector<uint8_t>(heic.begin(), heic.begin() + 32)},
      {"truncated JPEG", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20)},
      {"PNG claiming 100000 x 100000", pngClaiming(100000, 100000)},
      {"PNG claiming 20000 x 20000, no pixels", pngClaiming(20000, 20000)},
      {"GIF claiming 65535 x 65535", gif},
      {"BMP claiming 60000 x 60000", bmpBytes(60000, 60000)},
      {"BMP of negative width", bmpBytes(-2, 2)},
      // Found by fuzzing: a header claiming to be 4 GB long, which the loader allocated whole.
      {"BMP claiming a 4 GB header",
       [] {
         std::vector<uint8_t> bmp = bmpBytes();
         bmp[14] = 0x0a, bmp[15] = 0x42, bmp[16] = 0xff, bmp[17] = 0xff;
         return bmp;
       }()},
  };
  for (const auto& [what, bytes] : bad) EXPECT_EQ(imageOf(bytes), nil) << what;
}

TEST(ImageCodecTest, EncodersRecordWhatTheyWereAskedAndQualityShrinksJPEG) {
  ns::AutoreleasePool pool;
  TemporaryFolder folder;
  std::string error;
  ASSERT_TRUE(media::writePNG(folder.path() + "/a.png", 96, 64, 90, error)) << error;
  std::vector<uint8_t> original = readFile(folder.path() + "/a.png");
  id image = imageOf(original);
  journal::clear();
  id best = UIImageJPEGRepresentation(image, 1.0);
  id half = UIImageJPEGRepresentation(image, 0.5);
  id png = UIImagePNGRepresentation(image);
  ASSERT_NE(best, nil);
  ASSERT_NE(half, nil);
  ASSERT_NE(png, nil);
  EXPECT_LT(ns::bytes(half).size(), ns::bytes(best).size());
  std::vector<journal::Entry> encodes;
  for (const journal::Entry& e : journal::entries()) {
    if (e["kind"] == "encode") encodes.push_back(e);
  }
  ASSERT_EQ(encodes.size(), 3u);
  EXPECT_EQ(encodes[0]["format"], "jpeg");
  EXPECT_EQ(encodes[0]["quality"], 1.0);
  EXPECT_EQ(encodes[0]["bytes"], ns::bytes(best).size());
  EXPECT_EQ(encodes[1]["quality"], 0.5);
  EXPECT_EQ(encodes[1]["bytes"], ns::bytes(half).size());
  EXPECT_EQ(encodes[2]["format"], "png");
  EXPECT_TRUE(encodes[2]["quality"].is_null());
  // PNG is lossless: the pixels come back as they were.
  id again = imageOf(ns::bytes(png));
  EXPECT_EQ(firstPixel(again), firstPixel(image));
  EXPECT_EQ(ns::toJson(png)["format"], "png");
  EXPECT_EQ(ns::toJson(half)["format"], "jpeg");
}

// --- queues ---------------------------------------------------------------------------------

TEST(DispatchTest, MainQueueWorkWaitsForTheHostAndBackgroundWorkRunsElsewhere) {
  ns::AutoreleasePool pool;
  std::atomic<int> order{0};
  std::vector<std::string> seen;
  std::mutex lock;
  auto note = [&](const std::string& what) {
    std::lock_guard guard(lock);
    seen.push_back(what);
  };
  dispatch::async(dispatch_get_main_queue(), [&] { note("main 1"); });
  dispatch_queue_t background = dispatch_queue_create("test", nullptr);
  dispatch::async(background, [&] {
    note(dispatch::isMainThread() ? "background on main" : "background");
    // Work handed on from the background to the main queue runs in the same drain.
    dispatch::async(dispatch_get_main_queue(), [&] {
      note(dispatch::isMainThread() ? "main 2" : "main 2 elsewhere");
      ++order;
    });
  });
  {
    std::lock_guard guard(lock);
    EXPECT_TRUE(seen.empty());  // nothing runs until the host drains
  }
  EXPECT_EQ(dispatch::runPendingWork(), 2u);
  EXPECT_EQ(order.load(), 1);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_NE(std::find(seen.begin(), seen.end(), "background"), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), "main 2"), seen.end());
  EXPECT_EQ(dispatch::runPendingWork(), 0u);
}

// --- the photo library --------------------------------------------------------------------------

class PhotosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = device_.path() + "/var/mobile/Media/DCIM/100APPLE";
    fs::create_directories(folder_);
    std::string error;
    ASSERT_TRUE(media::writeJPEG(folder_ + "/IMG_0002.JPG", 32, 24, 0, error)) << error;
    media::VideoSpec shape;
    shape.seconds = 0.5;
    shape.width = 160;
    shape.height = 120;
    ASSERT_TRUE(media::writeVideo(folder_ + "/IMG_0004.MOV", shape, error)) << error;
    journal::clear();
  }
  id fetch(const std::string& url) {
    return send(cls("PHAsset"), "fetchAssetsWithALAssetURLs:options:",
                ns::array({send(cls("NSURL"), "URLWithString:", ns::string(url))}), id{nil});
  }
  std::string urlOf(const std::string& name) {
    for (const photos::Item& item : photos::library()) {
      if (item.name == name) return item.referenceURL;
    }
    return "";
  }
  ns::AutoreleasePool pool_;
  TemporaryDeviceRoot device_;
  std::string folder_;
};

TEST_F(PhotosTest, ItemsHaveStableNameBasedReferenceURLs) {
  std::vector<photos::Item> items = photos::library();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].devicePath, "/var/mobile/Media/DCIM/100APPLE/IMG_0002.JPG");
  EXPECT_EQ(items[0].typeIdentifier, "public.jpeg");
  EXPECT_FALSE(items[0].video);
  EXPECT_TRUE(items[1].video);
  // assets-library://asset/asset.JPG?id=<version 5 UUID>&ext=JPG, the same on every listing.
  const std::string& url = items[0].referenceURL;
  EXPECT_EQ(url.rfind("assets-library://asset/asset.JPG?id=", 0), 0u) << url;
  EXPECT_EQ(url.substr(url.size() - 8), "&ext=JPG");
  EXPECT_EQ(items[0].uuid.size(), 36u);
  EXPECT_EQ(items[0].uuid[14], '5');
  EXPECT_EQ(photos::library()[0].uuid, items[0].uuid);
  EXPECT_NE(items[1].uuid, items[0].uuid);

  id result = fetch(urlOf("IMG_0004.MOV"));
  EXPECT_EQ(send<NSUInteger>(result, "count"), 1u);
  EXPECT_EQ(send<BOOL>(send(result, "lastObject"), "isVideo"), YES);
  EXPECT_EQ(send<BOOL>(send(fetch(urlOf("IMG_0002.JPG")), "lastObject"), "isVideo"), NO);
  // An id that names nothing, and an asset gone from the library (its file stays), find nothing.
  EXPECT_EQ(
      send(
          fetch("assets-library://asset/asset.JPG?id=00000000-0000-5000-8000-000000000000&ext=JPG"),
          "lastObject"),
      nil);
  std::string movie = urlOf("IMG_0004.MOV");
  photos::forgetAsset("/var/mobile/Media/DCIM/100APPLE/IMG_0004.MOV");
  EXPECT_EQ(send(fetch(movie), "lastObject"), nil);
  EXPECT_TRUE(fs::exists(folder_ + "/IMG_0004.MOV"));
}

TEST_F(PhotosTest, HandlersRunLaterWhereThePlatformRunsThem) {
  id picture = send(fetch(urlOf("IMG_0002.JPG")), "lastObject");
  id movie = send(fetch(urlOf("IMG_0004.MOV")), "lastObject");
  id manager = send(cls("PHImageManager"), "defaultManager");
  std::vector<uint8_t> delivered;
  std::string type;
  bool dataOnMain = false, sessionOnMain = true;
  ns::Ref session;
  int calls = 0;
  send<long>(manager, "requestImageDataForAsset:options:resultHandler:", picture, id{nil},
             ns::block<id, id, long, id>([&](id data, id uti, long, id) {
               delivered = ns::bytes(data);
               type = ns::utf8(uti);
               dataOnMain = dispatch::isMainThread();
               ++calls;
             }));
  send<long>(manager, "requestExportSessionForVideo:options:exportPreset:resultHandler:", movie,
             id{nil}, AVAssetExportPresetHighestQuality, ns::block<id, id>([&](id s, id) {
               session = ns::Ref(s);
               sessionOnMain = dispatch::isMainThread();
               ++calls;
             }));
  EXPECT_EQ(calls, 0);  // later, not during the request
  dispatch::runPendingWork();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(delivered, readFile(folder_ + "/IMG_0002.JPG"));  // the bytes exactly as stored
  EXPECT_EQ(type, "public.jpeg");
  EXPECT_TRUE(dataOnMain);
  EXPECT_FALSE(sessionOnMain);
  ASSERT_TRUE(session);
  EXPECT_EQ(ns::utf8(send(session, "presetName")), "AVAssetExportPresetHighestQuality");
}

// --- export and first frames ----------------------------------------------------------------

class ExportTest : public PhotosTest {
 protected:
  // Exports the library's movie to `output` (a device path); answers the session.
  ns::Ref exportTo(const std::string& output, id fileType) {
    id asset = send(cls("AVURLAsset"), "URLAssetWithURL:options:",
                    send(cls("NSURL"), "fileURLWithPath:", ns::string(source_)), id{nil});
    ns::Ref session(send(cls("AVAssetExportSession"), "exportSessionWithAsset:presetName:", asset,
                         AVAssetExportPresetHighestQuality));
    send<void>(session,
               "setOutputURL:", send(cls("NSURL"), "fileURLWithPath:", ns::string(output)));
    send<void>(session, "setOutputFileType:", fileType);
    std::atomic<bool> completedOnMain{true};
    send<void>(session, "exportAsynchronouslyWithCompletionHandler:", ns::block<>([&] {
                 completedOnMain = dispatch::isMainThread();
               }));
    dispatch::runPendingWork();
    EXPECT_FALSE(completedOnMain.load());
    return session;
  }
  NSInteger codeOf(id session) { return send<NSInteger>(send(session, "error"), "code"); }
  std::string source_ = "/var/mobile/Media/DCIM/100APPLE/IMG_0004.MOV";
};

TEST_F(ExportTest, CopiesTheStreamsIntoEitherContainer) {
  ns::Ref mp4 = exportTo("/var/mobile/out.mp4", AVFileTypeMPEG4);
  ns::Ref mov = exportTo("/var/mobile/out.mov", AVFileTypeQuickTimeMovie);
  EXPECT_EQ(send<AVAssetExportSessionStatus>(mp4, "status"), AVAssetExportSessionStatusCompleted);
  EXPECT_EQ(send(mp4, "error"), nil);
  std::vector<uint8_t> written = readFile(device_.path() + "/var/mobile/out.mp4");
  ASSERT_GT(written.size(), 12u);
  EXPECT_EQ(std::string(written.begin() + 4, written.begin() + 8), "ftyp");
  EXPECT_EQ(std::string(written.begin() + 8, written.begin() + 12), "isom");
  std::vector<uint8_t> movie = readFile(device_.path() + "/var/mobile/out.mov");
  EXPECT_EQ(std::string(movie.begin() + 8, movie.begin() + 12), "qt  ");
  // Both streams, copied: the same frame comes out of the copy.
  std::vector<uint8_t> a, b;
  int w = 0, h = 0;
  ASSERT_TRUE(avfoundation::firstFrame(device_.path() + "/var/mobile/out.mp4", a, w, h));
  ASSERT_TRUE(avfoundation::firstFrame(folder_ + "/IMG_0004.MOV", b, w, h));
  EXPECT_EQ(a, b);
  std::vector<journal::Entry> exports;
  for (const journal::Entry& e : journal::entries()) {
    if (e["kind"] == "export") exports.push_back(e);
  }
  ASSERT_EQ(exports.size(), 2u);
  EXPECT_EQ(exports[0]["output"], "/var/mobile/out.mp4");
  EXPECT_EQ(exports[0]["fileType"], "public.mpeg-4");
  EXPECT_EQ(exports[0]["status"], "completed");
  EXPECT_EQ(exports[0]["code"], 0);
}

TEST_F(ExportTest, NeverOverwritesAndFailsCleanly) {
  std::string standing = device_.path() + "/var/mobile/old.mov";
  writeFile(standing, {'o', 'l', 'd'});
  ns::Ref over = exportTo("/var/mobile/old.mov", AVFileTypeQuickTimeMovie);
  EXPECT_EQ(send<AVAssetExportSessionStatus>(over, "status"), AVAssetExportSessionStatusFailed);
  EXPECT_EQ(codeOf(over), AVErrorFileAlreadyExists);
  EXPECT_EQ(readFile(standing), (std::vector<uint8_t>{'o', 'l', 'd'}));

  ns::Ref noFolder = exportTo("/var/mobile/missing/new.mov", AVFileTypeQuickTimeMovie);
  EXPECT_EQ(codeOf(noFolder), AVErrorExportFailed);

  writeFile(device_.path() + "/var/mobile/junk.mov",
            {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
  source_ = "/var/mobile/junk.mov";
  ns::Ref junk = exportTo("/var/mobile/from-junk.mp4", AVFileTypeMPEG4);
  EXPECT_EQ(codeOf(junk), AVErrorFileFormatNotRecognized);
  EXPECT_FALSE(fs::exists(device_.path() + "/var/mobile/from-junk.mp4"));  // nothing left behind
  std::vector<journal::Entry> exports;
  for (const journal::Entry& e : journal::entries()) {
    if (e["kind"] == "export") exports.push_back(e);
  }
  ASSERT_EQ(exports.size(), 3u);
  EXPECT_EQ(exports[0]["status"], "failed");
  EXPECT_EQ(exports[0]["code"], -11823);
}

TEST_F(ExportTest, FirstFrameOfAVideoAndNoneOfAnythingElse) {
  auto frameOf = [](const std::string& path) {
    id asset = send(cls("AVURLAsset"), "URLAssetWithURL:options:",
                    send(cls("NSURL"), "fileURLWithPath:", ns::string(path)), id{nil});
    id generator = send(cls("AVAssetImageGenerator"), "assetImageGeneratorWithAsset:", asset);
    id error = nil;
    CGImageRef image =
        send<CGImageRef>(generator, "copyCGImageAtTime:actualTime:error:", CMTimeMake(0, 1),
                         static_cast<CMTime*>(nullptr), &error);
    std::pair<size_t, size_t> size{0, 0};
    if (image != nullptr) size = {CGImageGetWidth(image), CGImageGetHeight(image)};
    CGImageRelease(image);
    return std::make_pair(size, error);
  };
  auto [size, error] = frameOf(source_);
  EXPECT_EQ(size, (std::pair<size_t, size_t>{160, 120}));
  EXPECT_EQ(error, nil);
  EXPECT_EQ(frameOf("/var/mobile/Media/DCIM/100APPLE/IMG_0002.JPG").first.first, 0u);
  auto missing = frameOf("/var/mobile/nothing.mov");
  EXPECT_EQ(missing.first.first, 0u);
  EXPECT_NE(missing.second, nil);
  std::vector<journal::Entry> frames;
  for (const journal::Entry& e : journal::entries()) {
    if (e["kind"] == "frame") frames.push_back(e);
  }
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0]["ok"], true);
  EXPECT_EQ(frames[0]["width"], 160);
  EXPECT_EQ(frames[2]["ok"], false);
  EXPECT_EQ(frames[2]["path"], "/var/mobile/nothing.mov");
}

}  // namespace
