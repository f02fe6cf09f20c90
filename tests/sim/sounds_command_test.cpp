// `plinka-sim sounds` as its users see it: why each event's sound will or will not play, and
// audio files imported as sounds the device plays.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "build_paths.h"
#include "program.h"
#include "temporary_folder.h"
#include "tone_encoder.h"
#include "tones.h"
#include "wav.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TemporaryFolder;
using Result = testing_support::ProgramRun;

const std::string kBundle = "/var/LIY/PreferenceBundles/Plinka3.bundle";
const std::string kSettings = "/var/mobile/Library/Preferences/com.plinka.plinka3.plist";

Result sim(const std::vector<std::string>& args, const std::string& input = "") {
  return testing_support::runProgram(PLINKA_SIM, args, input);
}

// A device root with the given settings (true/false are switches, the rest names).
void writeSettings(const std::string& root, const std::map<std::string, std::string>& values) {
  fs::create_directories(fs::path(root + kSettings).parent_path());
  std::ofstream out(root + kSettings);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n";
  for (const auto& [key, value] : values) {
    out << "<key>" << key << "</key>";
    if (value == "true" || value == "false") {
      out << "<" << value << "/>\n";
    } else {
      out << "<string>" << value << "</string>\n";
    }
  }
  out << "</dict></plist>\n";
}

std::string eventFile(const std::string& root, const std::string& event, const std::string& name) {
  fs::create_directories(root + kBundle + "/" + event);
  return root + kBundle + "/" + event + "/" + name;
}

void tone(const std::string& path, double seconds, int rate, int channels, int format,
          double amplitude = 0.5) {
  tones::Sound sound{{{0.0, 440.0, seconds, amplitude, 0}}, seconds, rate, channels, format};
  std::string error;
  ASSERT_TRUE(tones::write(path, sound, error)) << error;
}

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// Each event's line of `sounds --json`, by event name; the master line under "master".
std::map<std::string, nlohmann::json> checkLines(const Result& r) {
  std::map<std::string, nlohmann::json> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    nlohmann::json j = nlohmann::json::parse(line);
    lines[j["kind"] == "master" ? "master" : j["event"].get<std::string>()] = j;
  }
  return lines;
}

TEST(SoundsCheck, NamesTheReasonOfEachSoundThatWillNotPlay) {
  TemporaryFolder root;
  const std::string& r = root.path();
  tone(eventFile(r, "Charge", "Power Up.caf"), 0.3, 22050, 1, SF_FORMAT_CAF | SF_FORMAT_PCM_16);
  tone(eventFile(r, "Keyboard", "Tap.wav"), 0.1, 22050, 1, kWav16);
  tone(eventFile(r, "Lock", "Latch.aiff"), 0.1, 22050, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
  tone(eventFile(r, "Passcode", "Pin.mp3"), 0.3, 22050, 1,
       SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
  tone(eventFile(r, "Respring", "Welcome.wav"), 31.0, 1000, 1, kWav16);
  std::ofstream(eventFile(r, "Unlock", "Open.wav")) << "these are words, not sound";
  tone(eventFile(r, "Volume", "Step.wav"), 0.1, 22050, 1, kWav16);
  writeSettings(r, {{"kEnabledPK", "true"},
                    {"kCustomCharge", "true"},
                    {"kChargeSound", "Power Up.caf"},
                    {"kCustomKeyboard", "true"},
                    {"kKeyboardSound", "tap.WAV"},
                    {"kCustomLock", "true"},
                    {"kLockSound", "Latch.aiff "},
                    {"kCustomPasscode", "true"},
                    {"kPasscodeSound", "Pin.mp3"},
                    {"kCustomRespring", "true"},
                    {"kRespringSound", "Welcome.wav"},
                    {"kCustomUnlock", "true"},
                    {"kUnlockSound", "Open.wav"},
                    {"kCustomVolume", "false"},
                    {"kVolumeSound", "Step.wav"}});

  Result json = sim({"sounds", "--device-root", r, "--json"});
  EXPECT_EQ(json.status, 1) << json.err;
  auto lines = checkLines(json);
  std::map<std::string, std::string> verdicts;
  for (const auto& [event, line] : lines) {
    if (event != "master") verdicts[event] = line["verdict"];
  }
  EXPECT_EQ(verdicts, (std::map<std::string, std::string>{{"Charge", "plays"},
                                                          {"Keyboard", "missing"},
                                                          {"Lock", "missing"},
                                                          {"Passcode", "refused"},
                                                          {"Respring", "too-long"},
                                                          {"Unlock", "not-audio"},
                                                          {"Volume", "off"}}));
  EXPECT_EQ(lines["Charge"]["path"], kBundle + "/Charge////Power Up.caf");
  EXPECT_EQ(lines["Keyboard"]["suggestions"], nlohmann::json({"Tap.wav"}));
  EXPECT_EQ(lines["Lock"]["suggestions"], nlohmann::json({"Latch.aiff"}));
  EXPECT_EQ(lines["Passcode"]["file"]["container"], "MP3");
  EXPECT_EQ(lines["Respring"]["status"], -1502);
  EXPECT_NEAR(lines["Respring"]["file"]["seconds"].get<double>(), 31.0, 0.01);

  Result text = sim({"sounds", "--device-root", r});
  EXPECT_EQ(text.status, 1);
  for (const char* expected :
       {"\"tap.WAV\"", "no file; did you mean \"Tap.wav\"?", "\"Latch.aiff \"",
        "refused format: MPEG Layer III in MP3", "too long: 31.00 s (at most 30 s)",
        "not audio: ", "switched off (kCustomVolume); the file: plays (WAV"}) {
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << " in:\n" << text.out;
  }
  EXPECT_EQ(text.out.find("master switch"), std::string::npos);
}

TEST(SoundsCheck, ExitsZeroWhenEverySoundSwitchedOnPlaysAndTellsWhatASilentPhoneDoes) {
  Result demo = sim({"sounds"});  // the example device
  EXPECT_EQ(demo.status, 0) << demo.out << demo.err;

  Result silent = sim({"sounds", "--ringer", "off", "--json"});
  EXPECT_EQ(silent.status, 1);
  auto lines = checkLines(silent);
  EXPECT_EQ(lines["Charge"]["verdict"], "silent");
  EXPECT_EQ(lines["Charge"]["nopeFelt"], true);
  EXPECT_EQ(lines["Keyboard"]["verdict"], "silent");
  EXPECT_FALSE(lines["Keyboard"].contains("nopeFelt"));
  EXPECT_EQ(lines["Volume"]["verdict"], "off");

  TemporaryFolder root;
  writeSettings(root.path(), {{"kEnabledPK", "false"}, {"kLockSound", ""}});
  Result off = sim({"sounds", "--device-root", root.path()});
  EXPECT_EQ(off.status, 1);
  EXPECT_EQ(off.out.rfind("The master switch (kEnabledPK) is off", 0), 0u) << off.out;
  EXPECT_NE(off.out.find("no file: kChargeSound is not set"), std::string::npos) << off.out;
  EXPECT_NE(off.out.find("no file: kLockSound is empty"), std::string::npos) << off.out;
}

TEST(SoundsImport, TurnsMp3FlacAacAndALongWavIntoSoundsTheHomeScreenPlays) {
  TemporaryFolder root, sources;
  const std::string& s = sources.path();
  tone(s + "/song.mp3", 1.0, 44100, 2, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
  tone(s + "/chime.flac", 0.5, 48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  tone(s + "/long.wav", 45.0, 8000, 1, kWav16);
  std::string error;
  ASSERT_TRUE(testing_support::encodeTone(s + "/ring.m4a", "ipod", "aac", 0.5, 44100, 1, error))
      << error;
  writeSettings(root.path(), {{"kEnabledPK", "true"},
                              {"kCustomCharge", "true"},
                              {"kCustomLock", "true"},
                              {"kCustomUnlock", "true"},
                              {"kCustomKeyboard", "true"}});
  const std::vector<std::pair<std::string, std::string>> imports = {{"Charge", "song.mp3"},
                                                                    {"lock", "chime.flac"},
                                                                    {"Unlock", "long.wav"},
                                                                    {"Keyboard", "ring.m4a"}};
  for (const auto& [event, file] : imports) {
    Result r = sim({"sounds", "import", event, s + "/" + file, "--device-root", root.path()});
    EXPECT_EQ(r.status, 0) << file << ": " << r.err;
  }
  const std::string bundle = root.path() + kBundle;
  SF_INFO info{};
  SNDFILE* song = sf_open((bundle + "/Charge/song.caf").c_str(), SFM_READ, &info);
  ASSERT_NE(song, nullptr);
  sf_close(song);
  EXPECT_EQ(info.format, SF_FORMAT_CAF | SF_FORMAT_PCM_16);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.samplerate, 44100);

  // The long sound: cut at exactly 30 s, loud up to the fade, then down to nothing.
  testing_support::Samples cut = testing_support::readSamples(bundle + "/Unlock/long.caf");
  EXPECT_EQ(cut.rate, 8000);
  EXPECT_EQ(cut.mono.size(), 30u * 8000);
  EXPECT_GT(testing_support::peak(cut, 29.0, 29.45), 0.45);
  EXPECT_LT(testing_support::peak(cut, 29.85, 29.95), 0.16);
  EXPECT_LT(testing_support::peak(cut, 29.99, 30.0), 0.01);

  Result played = sim({"springboard", "--device-root", root.path(), "--json", "-"},
                      "launch\nplug\nlock\nunlock\ntype a\n");
  ASSERT_EQ(played.status, 0) << played.err;
  std::vector<std::string> created;
  std::istringstream in(played.out);
  for (std::string line; std::getline(in, line);) {
    nlohmann::json e = nlohmann::json::parse(line);
    if (e["kind"] == "sound-create") {
      created.push_back(e["path"].get<std::string>() + " " + e["status"].dump());
    }
  }
  EXPECT_EQ(created, (std::vector<std::string>{
                         kBundle + "/Charge////song.caf 0", kBundle + "/Lock////chime.caf 0",
                         kBundle + "/Unlock////long.caf 0", kBundle + "/Keyboard////ring.caf 0"}));
  EXPECT_EQ(sim({"sounds", "--device-root", root.path()}).status, 0);
}

TEST(SoundsImport, KeepsWhatIsThereAndWritesNothingForBadInput) {
  TemporaryFolder root, sources;
  const std::string& s = sources.path();
  std::ofstream(s + "/notes.mp3") << "ID3 but only words";
  Result notAudio =
      sim({"sounds", "import", "Charge", s + "/notes.mp3", "--device-root", root.path()});
  EXPECT_EQ(notAudio.status, 2);
  EXPECT_NE(notAudio.err.find("not audio"), std::string::npos) << notAudio.err;
  EXPECT_TRUE(fs::is_empty(root.path()));

  // A folder given as the sound is called a folder, not a missing file.
  Result folder = sim({"sounds", "import", "Charge", s, "--device-root", root.path()});
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find(s + ": a folder, not a sound file"), std::string::npos) << folder.err;
  EXPECT_EQ(folder.err.find("no such file"), std::string::npos) << folder.err;
  EXPECT_TRUE(fs::is_empty(root.path()));

  tone(s + "/a.wav", 0.2, 22050, 1, kWav16);
  tone(s + "/b.wav", 0.4, 22050, 1, kWav16);
  auto import = [&](const std::string& file, std::vector<std::string> extra) {
    std::vector<std::string> args = {"sounds", "import",   "Volume",        s + "/" + file,
                                     "--name", "Step.caf", "--device-root", root.path()};
    args.insert(args.end(), extra.begin(), extra.end());
    return sim(args);
  };
  ASSERT_EQ(import("a.wav", {}).status, 0);
  const std::string written = root.path() + kBundle + "/Volume/Step.caf";
  Result again = import("b.wav", {});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find("already exists; --force replaces it"), std::string::npos);
  EXPECT_EQ(testing_support::readSamples(written).mono.size(), 4410u);
  EXPECT_EQ(import("b.wav", {"--force"}).status, 0);
  EXPECT_EQ(testing_support::readSamples(written).mono.size(), 8820u);
  EXPECT_EQ(fs::directory_iterator(fs::path(written).parent_path()) == fs::directory_iterator(),
            false);
  size_t files = 0;
  for ([[maybe_unused]] auto& f : fs::directory_iterator(fs::path(written).parent_path())) ++files;
  EXPECT_EQ(files, 1u) << "a part file was left behind";

  for (const char* name : {"../Step.caf", "", ".."}) {
    Result r = sim(
        {"sounds", "import", "Volume", s + "/a.wav", "--name", name, "--device-root", root.path()});
    EXPECT_EQ(r.status, 2) << name;
  }
  EXPECT_EQ(
      sim({"sounds", "import", "Doorbell", s + "/a.wav", "--device-root", root.path()}).status, 2);
}

TEST(SoundsImport, MixesManyChannelsToStereoAndClipsLoudInputRatherThanWrappingIt) {
  TemporaryFolder root, sources;
  const std::string& s = sources.path();
  tone(s + "/surround.wav", 0.5, 48000, 6, kWav16);
  tone(s + "/loud.wav", 0.5, 8000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1.5);
  for (const char* file : {"surround.wav", "loud.wav"}) {
    Result r = sim({"sounds", "import", "Lock", s + "/" + file, "--device-root", root.path()});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  SF_INFO info{};
  SNDFILE* surround =
      sf_open((root.path() + kBundle + "/Lock/surround.caf").c_str(), SFM_READ, &info);
  ASSERT_NE(surround, nullptr);
  sf_close(surround);
  EXPECT_EQ(info.channels, 2);
  EXPECT_GT(
      testing_support::peak(
          testing_support::readSamples(root.path() + kBundle + "/Lock/surround.caf"), 0.1, 0.4),
      0.2);

  // Where the source goes past full scale, the sound stays at full scale with the same sign.
  testing_support::Samples source = testing_support::readSamples(s + "/loud.wav");
  testing_support::Samples loud =
      testing_support::readSamples(root.path() + kBundle + "/Lock/loud.caf");
  ASSERT_EQ(loud.mono.size(), source.mono.size());
  size_t overs = 0;
  for (size_t i = 0; i < source.mono.size(); ++i) {
    if (std::abs(source.mono[i]) <= 1.0f) continue;
    ++overs;
    EXPECT_GT(loud.mono[i] * (source.mono[i] > 0 ? 1 : -1), 0.99f) << "sample " << i;
  }
  EXPECT_GT(overs, 100u);
}

}  // namespace
