// System sounds: what the device accepts as a sound file, the IDs it hands out, and the
// mix-down of what played.
#include <AudioToolbox/AudioToolbox.h>
#include <AudioToolbox/Mixdown.h>
#include <AudioToolbox/SoundFile.h>
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <device/journal.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "temporary_folder.h"
#include "tone_encoder.h"
#include "tones.h"
#include "wav.h"

namespace {

namespace fs = std::filesystem;

class SystemSounds : public ::testing::Test {
 protected:
  void SetUp() override { journal::clear(); }
  // Writes a tone at a device path; false when libsndfile cannot write that format here.
  bool tone(const std::string& devicePath, int format, double seconds = 0.1, int rate = 8000) {
    tones::Sound sound{{{0.0, 440.0, seconds, 0.5, 0}}, seconds, rate, 1, format};
    std::string error;
    return tones::write(root_ + devicePath, sound, error);
  }
  OSStatus create(const std::string& devicePath, SystemSoundID& soundID) {
    ns::AutoreleasePool pool;
    id url = send(cls("NSURL"), "fileURLWithPath:", ns::string(devicePath));
    return AudioServicesCreateSystemSoundID(reinterpret_cast<CFURLRef>(url), &soundID);
  }
  testing_support::TemporaryDeviceRoot device_;
  const std::string& root_ = device_.path();
};

TEST_F(SystemSounds, AcceptsLinearPcmAndIma4InCafAiffAndWav) {
  const std::vector<std::pair<const char*, int>> accepted = {
      {"/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"/b.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
      {"/c.caf", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
      {"/d.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM},
      {"/e.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_S8},
      {"/no extension", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
  };
  SystemSoundID previous = 0;
  for (const auto& [path, format] : accepted) {
    ASSERT_TRUE(tone(path, format)) << path;
    SystemSoundID id = 0;
    EXPECT_EQ(create(path, id), kAudioServicesNoError) << path;
    EXPECT_GT(id, previous) << path;
    EXPECT_GE(id, 4097u);
    previous = id;
  }
}

TEST_F(SystemSounds, RefusesOtherContainersCodecsAndAnythingThatIsNotAudio) {
  std::vector<std::string> refused = {"/missing.wav", "/", "/text.wav"};
  std::ofstream(root_ + "/text.wav") << "RIFF but not really";
  const std::vector<std::pair<const char*, int>> formats = {
      {"/ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW},
      {"/alaw.aiff", SF_FORMAT_AIFF | SF_FORMAT_ALAW},
      {"/x.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
      {"/x.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {"/x.au", SF_FORMAT_AU | SF_FORMAT_PCM_16},
      {"/ms.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM},
  };
  for (const auto& [path, format] : formats) {
    if (tone(path, format)) refused.push_back(path);  // only what this libsndfile can write
  }
  EXPECT_GE(refused.size(), 6u);
  for (const std::string& path : refused) {
    SystemSoundID id = 77;
    EXPECT_EQ(create(path, id), kAudioServicesSystemSoundUnspecifiedError) << path;
    EXPECT_EQ(id, 77u) << path << ": the caller's ID was written";
  }
}

TEST_F(SystemSounds, ReadsIma4CafAndAiffCThroughTheirDecoderAndJudgesOtherCodecsByWhatTheyAre) {
  std::string error;
  auto encode = [&](const std::string& devicePath, const char* muxer, const char* encoder,
                    double seconds) {
    return testing_support::encodeTone(root_ + devicePath, muxer, encoder, seconds, 22050, 1,
                                       error);
  };
  ASSERT_TRUE(encode("/ima4.caf", "caf", "adpcm_ima_qt", 0.5)) << error;
  ASSERT_TRUE(encode("/ima4.aifc", "aiff", "adpcm_ima_qt", 0.5)) << error;
  ASSERT_TRUE(encode("/long.caf", "caf", "adpcm_ima_qt", 30.2)) << error;
  ASSERT_TRUE(encode("/aac.m4a", "ipod", "aac", 0.5)) << error;
  ASSERT_TRUE(tone("/x.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 0.5, 22050));

  for (const char* path : {"/ima4.caf", "/ima4.aifc"}) {
    SystemSoundID id = 0;
    EXPECT_EQ(create(path, id), kAudioServicesNoError) << path;
    audio::SystemSoundVerdict v = audio::judgeSystemSound(path);
    ASSERT_TRUE(v.facts) << path;
    EXPECT_EQ(v.facts->coding, audio::Coding::Ima4) << path;
    EXPECT_EQ(v.facts->sampleRate, 22050) << path;
    EXPECT_NEAR(v.facts->seconds(), 0.5, 0.01) << path;
    // Decoded, not only recognised: the tone is heard in the mix-down.
    std::string mix = root_ + "/mix.wav";
    ASSERT_TRUE(audio::writeMixdown(mix, {{0.0, root_ + path, 0}}, error)) << error;
    EXPECT_GT(testing_support::peak(testing_support::readSamples(mix), 0.1, 0.4), 0.3) << path;
  }
  SystemSoundID id = 9;
  EXPECT_EQ(create("/long.caf", id), kAudioServicesSystemSoundExceededMaximumDurationError);
  EXPECT_EQ(id, 9u);
  for (const char* path : {"/aac.m4a", "/x.mp3"}) {
    EXPECT_EQ(create(path, id), kAudioServicesSystemSoundUnspecifiedError) << path;
    audio::SystemSoundVerdict v = audio::judgeSystemSound(path);
    ASSERT_TRUE(v.facts) << path << ": " << v.reason;
    EXPECT_EQ(v.facts->coding, audio::Coding::Other) << path;
    EXPECT_NE(v.reason.find("refused format"), std::string::npos) << v.reason;
  }
}

TEST_F(SystemSounds, TheRingerOffSilencesEverySoundButTheVibrations) {
  ASSERT_TRUE(tone("/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  SystemSoundID id = 0;
  ASSERT_EQ(create("/a.wav", id), kAudioServicesNoError);
  journal::clear();
  device::setRingerOn(false);
  for (SystemSoundID played : {id, SystemSoundID{1106}, SystemSoundID{1521}, SystemSoundID{4095}}) {
    AudioServicesPlaySystemSound(played);
  }
  device::setRingerOn(true);
  AudioServicesPlaySystemSound(id);
  std::vector<std::string> plays;
  for (const auto& e : journal::entries()) {
    plays.push_back(e["id"].dump() + (e.value("silent", false) ? " silent" : "") +
                    (e.contains("ringer") ? " ringer-off" : ""));
  }
  std::string created = std::to_string(id);
  EXPECT_EQ(plays, (std::vector<std::string>{created + " silent ringer-off",
                                             "1106 silent ringer-off", "1521", "4095", created}));
}

TEST_F(SystemSounds, RefusesSoundsLongerThanThirtySeconds) {
  ASSERT_TRUE(tone("/30.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 30.0, 1000));
  ASSERT_TRUE(tone("/31.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 30.01, 1000));
  SystemSoundID id = 0;
  EXPECT_EQ(create("/30.wav", id), kAudioServicesNoError);
  id = 5;
  EXPECT_EQ(create("/31.wav", id), kAudioServicesSystemSoundExceededMaximumDurationError);
  EXPECT_EQ(id, 5u);
}

TEST_F(SystemSounds, PlaysCreatedAndBuiltInSoundsAndNothingElse) {
  ASSERT_TRUE(tone("/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16));
  SystemSoundID id = 0;
  ASSERT_EQ(create("/a.wav", id), kAudioServicesNoError);
  EXPECT_EQ(AudioServicesCreateSystemSoundID(nullptr, nullptr), -50);
  journal::clear();
  AudioServicesPlaySystemSound(id);
  AudioServicesPlaySystemSound(1521);
  AudioServicesPlaySystemSound(0);
  AudioServicesPlaySystemSound(3000);
  EXPECT_EQ(AudioServicesDisposeSystemSoundID(id), kAudioServicesNoError);
  EXPECT_EQ(AudioServicesDisposeSystemSoundID(id), kAudioServicesBadSpecifierError);
  AudioServicesPlaySystemSound(id);
  std::vector<std::string> plays;
  for (const auto& e : journal::entries()) {
    if (e["kind"] != "sound-play") continue;
    plays.push_back(e.value("silent", false) ? "silent" : e.value("path", std::string("built-in")));
  }
  EXPECT_EQ(plays, (std::vector<std::string>{"/a.wav", "built-in", "silent", "silent", "silent"}));
}

TEST_F(SystemSounds, TheMixdownPutsEachSoundAtItsTime) {
  ASSERT_TRUE(tone("/a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.2, 22050));
  std::ofstream(root_ + "/broken.wav") << "not audio";
  std::string out = root_ + "/mix.wav";
  std::string error;
  ASSERT_TRUE(audio::writeMixdown(
      out, {{0.5, root_ + "/a.wav", 0}, {1.5, "", 1521}, {2.5, root_ + "/broken.wav", 0}}, error))
      << error;
  testing_support::Samples samples = testing_support::readSamples(out);
  EXPECT_EQ(samples.rate, 44100);
  auto loudness = [&](double from, double to) { return testing_support::peak(samples, from, to); };
  EXPECT_LT(loudness(0.0, 0.49), 0.001);
  EXPECT_GT(loudness(0.5, 0.7), 0.2);
  EXPECT_LT(loudness(0.8, 1.49), 0.001);
  EXPECT_GT(loudness(1.5, 1.8), 0.1);
  EXPECT_LT(loudness(1.9, 10.0), 0.001);  // the broken file is left out
  EXPECT_FALSE(audio::writeMixdown(root_ + "/no/such/folder/mix.wav", {}, error));
}

}  // namespace
