// Writes the fuzz targets' seed corpora into CORPUS_FOLDER/<target>/, each input made by the
// project's own code: property lists by the Foundation stand-in's writer (binary and XML), the
// example device's files, sounds by the tone generator, images by UIKit's encoders and the
// photo library's writers (HEIC, GIF), videos by the library's H.264 writer.
//
//   plinka-fuzz-seeds CORPUS_FOLDER
#include <AudioToolbox/AudioToolbox.h>
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/Foundation.h>
#include <UIKit/UIImage.h>
#include <sndfile.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "build_paths.h"
#include "media.h"
#include "tones.h"

namespace {

namespace fs = std::filesystem;

fs::path corpus;

std::string fileContent(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
  fs::create_directories(corpus / target);
  std::ofstream(corpus / target / name, std::ios::binary) << bytes;
}

void fail(const std::string& error) {
  std::fprintf(stderr, "plinka-fuzz-seeds: %s\n", error.c_str());
  std::exit(1);
}

// A property list seed in both of the writer's forms.
void plistSeeds(const std::string& target, const std::string& name, id root) {
  for (bool binary : {true, false}) {
    fs::path path = corpus / target / (name + (binary ? ".bplist" : ".xml"));
    fs::create_directories(path.parent_path());
    if (!ns::writePlist(path.string(), root, binary)) fail("cannot write " + path.string());
  }
}

id everyKind() {
  id nested = ns::dictionary();
  ns::setValue(nested, "kLockSound", ns::string("Lock.caf"));
  ns::setValue(nested, "kRespringMode", ns::integerNumber(2));
  id root = ns::dictionary();
  ns::setValue(root, "kEnabledPK", ns::boolNumber(true));
  ns::setValue(root, "kCustomLock", ns::boolNumber(false));
  ns::setValue(root, "kRespringMode", ns::integerNumber(-1));
  ns::setValue(root, "kChargeSound", ns::string("Power Up.caf"));
  ns::setValue(root, "kUnlockSound", ns::string("\xC3\xA9t\xC3\xA9 \xE2\x99\xAA.caf"));
  ns::setValue(root, "kVolumeSound", ns::integerNumber(42));
  ns::setValue(root, "kKeyboardSound", ns::doubleNumber(0.5));
  ns::setValue(root, "kPasscodeSound", ns::data("\x00\xFF", 2));
  ns::setValue(root, "kCustomUnlock", ns::array({ns::string("a"), ns::integerNumber(1)}));
  ns::setValue(root, "kAutoUnlockX", nested);
  return root;
}

id row(const std::vector<std::pair<std::string, id>>& attributes) {
  id dictionary = ns::dictionary();
  for (auto& [key, value] : attributes) ns::setValue(dictionary, key, value);
  return dictionary;
}

// Nested runs, a version-gated switch and a negated one.
id nestedRowList() {
  auto switchRow = [](const char* label, const char* key, int owned) {
    return row({{"cell", ns::string("PSSwitchCell")},
                {"label", ns::string(label)},
                {"key", ns::string(key)},
                {"defaults", ns::string("com.fuzz.pane")},
                {"default", ns::boolNumber(false)},
                {"nestedEntryCount", ns::integerNumber(owned)}});
  };
  id gated = switchRow("Gated", "kGated", 0);
  ns::setValue(gated, "minimumVersion", ns::string("13.0"));
  ns::setValue(gated, "maximumVersion", ns::string("14.8"));
  id negated = switchRow("Negated", "kNegated", 1);
  ns::setValue(negated, "negate", ns::boolNumber(true));
  ns::setValue(negated, "PostNotification", ns::string("com.fuzz.pane/changed"));
  id items = ns::array({row({{"cell", ns::string("PSGroupCell")}, {"label", ns::string("Group")}}),
                        switchRow("Outer", "kOuter", 4), switchRow("Inner", "kInner", 1),
                        row({{"cell", ns::string("PSLinkListCell")},
                             {"key", ns::string("kList")},
                             {"defaults", ns::string("com.fuzz.pane")}}),
                        gated, negated,
                        row({{"cell", ns::string("PSStaticTextCell")}, {"id", ns::string("t")}})});
  id root = ns::dictionary();
  ns::setValue(root, "title", ns::string("Fuzz"));
  ns::setValue(root, "items", items);
  return root;
}

void soundSeeds() {
  tones::Sound sound;
  sound.notes = {{0, 440, 0.02, 0.8}};
  sound.sampleRate = 8000;
  struct Kind {
    const char* name;
    int format;
    int channels;
  };
  const Kind kinds[] = {{"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1},
                        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2},
                        {"ima.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1},
                        {"pcm24.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_24, 1},
                        {"pcm8.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 1},
                        {"ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 1}};
  for (const Kind& kind : kinds) {
    sound.format = kind.format;
    sound.channels = kind.channels;
    fs::path path = corpus / "system_sound_fuzz" / kind.name;
    fs::create_directories(path.parent_path());
    std::string error;
    if (!tones::write(path.string(), sound, error)) fail(error);
  }
}

void imageSeeds() {
  constexpr size_t kSide = 6;
  uint8_t pixels[kSide * kSide * 4];
  for (size_t i = 0; i < kSide * kSide; ++i) {
    pixels[4 * i] = static_cast<uint8_t>(40 * (i % kSide));
    pixels[4 * i + 1] = static_cast<uint8_t>(40 * (i / kSide));
    pixels[4 * i + 2] = 128;
    pixels[4 * i + 3] = i % 5 == 0 ? 128 : 255;
  }
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGDataProviderRef provider =
      CGDataProviderCreateWithData(nullptr, pixels, sizeof pixels, nullptr);
  CGImageRef picture =
      CGImageCreate(kSide, kSide, 8, 32, kSide * 4, space, kCGImageAlphaPremultipliedLast, provider,
                    nullptr, false, kCGRenderingIntentDefault);
  id image = msgSend(cls("UIImage"), sel("imageWithCGImage:"), picture);
  auto bytesOf = [](id data) {
    std::vector<uint8_t> content = ns::bytes(data);
    return std::string(content.begin(), content.end());
  };
  seed("image_fuzz", "icon.png", bytesOf(UIImagePNGRepresentation(image)));
  seed("image_fuzz", "icon-best.jpg", bytesOf(UIImageJPEGRepresentation(image, 1.0)));
  seed("image_fuzz", "icon-small.jpg", bytesOf(UIImageJPEGRepresentation(image, 0.1)));
  CGImageRelease(picture);
  CGDataProviderRelease(provider);
  CGColorSpaceRelease(space);
  // The photo library's other kinds, as a camera or a download stores them.
  fs::create_directories(corpus / "image_fuzz");
  std::string error;
  if (!media::writeHEIC((corpus / "image_fuzz" / "photo.heic").string(), 16, 12, 30, error) ||
      !media::writeGIF((corpus / "image_fuzz" / "photo.gif").string(), 16, 12, 120, error)) {
    fail(error);
  }
}

// Short, small videos in both containers, with and without sound.
void videoSeeds() {
  fs::create_directories(corpus / "media_fuzz");
  media::VideoSpec shape;
  shape.width = 32;
  shape.height = 24;
  shape.framesPerSecond = 8;
  shape.seconds = 0.25;
  shape.fast = true;
  std::string error;
  for (const char* container : {"mov", "mp4"}) {
    for (bool withAudio : {true, false}) {
      shape.container = container;
      shape.withAudio = withAudio;
      std::string name = std::string(withAudio ? "sound" : "silent") + "." + container;
      if (!media::writeVideo((corpus / "media_fuzz" / name).string(), shape, error)) fail(error);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: plinka-fuzz-seeds CORPUS_FOLDER\n");
    return 2;
  }
  corpus = argv[1];
  ns::AutoreleasePool pool;
  const fs::path source = PLINKA_SOURCE_DIR;

  id example = ns::readPlist(
      (source / "examples/device/var/mobile/Library/Preferences/com.plinka.plinka3.plist")
          .string());
  plistSeeds("settings_store_fuzz", "example", example);
  plistSeeds("settings_store_fuzz", "every-kind", everyKind());
  seed("settings_store_fuzz", "old-style.plist",
       "{ kEnabledPK = 1; kLockSound = \"Lock.caf\"; kRespringMode = <0a0b>; list = (a, b); }");

  plistSeeds("row_list_fuzz", "example",
             ns::readPlist((source / "examples/settings/Root.plist").string()));
  plistSeeds("row_list_fuzz", "nested", nestedRowList());

  for (const auto& entry : fs::directory_iterator(source / "examples")) {
    if (entry.path().extension() == ".scenario") {
      seed("scenario_fuzz", entry.path().filename().string(), fileContent(entry.path()));
    }
  }
  seed("scenario_fuzz", "every-command.scenario",
       "pref kEnabledPK true\npref kLockSound \"Lock.caf\"\npref kRespringMode 2\n"
       "pref kVolumeSound none\nwithout SBVolumeControl\nlaunch\nregister SBVolumeControl\n"
       "set ac on\nset battery 2\nset locked off\npost battery\n"
       "call SBUIController playChargingChimeIfAppropriate # a comment\n"
       "plug\nunplug\nlock\nunlock\ntype hello\ndelete 2\npasscode 1234\nvolume up 3\n"
       "volume down\nwait 0.5\nnote \"the end\"\n");

  // The studio's line requests: one body per line kind, and bodies that are not that shape.
  int lineSeed = 0;
  for (const char* line : {"lock", "register SBVolumeControl", "type \\\"hi #\\\"", "volume up 3",
                           "call SBUIController playChargingChimeIfAppropriate", "wait 0.5",
                           "pref kLockSound \\\"Lock.caf\\\"", "launch", "# a comment"}) {
    seed("studio_line_fuzz", "line-" + std::to_string(++lineSeed),
         std::string("{\"line\": \"") + line + "\"}");
  }
  seed("studio_line_fuzz", "not-an-object", "[\"lock\"]");
  seed("studio_line_fuzz", "two-lines", "{\"line\": \"lock\\nunlock\"}");

  seed("settings_script_fuzz", "demo.settings",
       fileContent(source / "examples/settings/demo.settings"));
  seed("settings_script_fuzz", "values.settings",
       "show\nset Enabled off\nset kLockSound \"Lock \\\"2\\\".caf\"\nset \"Respring mode\" -1\n"
       "set Volume 7 # on\nshow\n");

  soundSeeds();
  imageSeeds();
  videoSeeds();

  seed("url_version_fuzz", "web", "https://example.com/a/b?c=d#e\n14.10\nfile:///var/x y");
  seed("url_version_fuzz", "versions", "14.4\n14.04.0\n13.0");
  seed("url_version_fuzz", "long-digits", "15.000000000000000000001\n15.1\nhttp://[::1]:80/");
  seed("url_version_fuzz", "profile", "14.0\n13.7\n\xC3\xA9t\xC3\xA9 #1/2?x=%41&y");
  std::printf("seeds written to %s\n", corpus.c_str());
  return 0;
}
