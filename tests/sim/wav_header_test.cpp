// springboard --wav's file as a reader finds it: a short session is a plain RIFF WAVE, and a
// session ended by a signal midway leaves a header that counts what was written up to its last
// update, not 0 bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "build_paths.h"
#include "program.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TemporaryFolder;

constexpr int kBytesPerSecond = 44100 * 2;  // 44.1 kHz mono 16-bit

std::vector<unsigned char> headOf(const std::string& path, size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> head(bytes);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(bytes));
  head.resize(static_cast<size_t>(in.gcount()));
  return head;
}

uint32_t le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The offset of the first byte of audio and the size the data chunk states, walking the
// chunks of a RIFF WAVE; false when the file is no such thing.
bool dataChunk(const std::string& path, uint64_t& offset, uint32_t& size) {
  std::vector<unsigned char> head = headOf(path, 4096);
  if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 ||
      std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
    return false;
  }
  for (size_t at = 12; at + 8 <= head.size(); at += 8 + le32(head, at + 4)) {
    if (std::memcmp(head.data() + at, "data", 4) == 0) {
      offset = at + 8;
      size = le32(head, at + 4);
      return true;
    }
  }
  return false;
}

TEST(WavFile, AShortSessionIsAPlainRiffWave) {
  TemporaryFolder folder;
  std::string wav = folder.path() + "/short.wav";
  testing_support::ProgramRun r = testing_support::runProgram(
      PLINKA_SIM, {"springboard", "--wav", wav, "-"}, "pref kEnabledPK false\nlaunch\nlock\n");
  ASSERT_EQ(r.status, 0) << r.err;
  uint64_t offset = 0;
  uint32_t size = 0;
  ASSERT_TRUE(dataChunk(wav, offset, size)) << "not RIFF WAVE";
  EXPECT_EQ(offset + size, fs::file_size(wav));
  SF_INFO info{};
  SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  // RIFF, not RF64; its format chunk is the extensible kind, which every WAV reader takes.
  int type = info.format & SF_FORMAT_TYPEMASK;
  EXPECT_TRUE(type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX) << std::hex << type;
  EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_16);
  EXPECT_EQ(info.samplerate, 44100);
  EXPECT_EQ(info.frames * 2, size);
  sf_close(file);
}

// Runs a session whose timeline nobody reads: once the pipe is full the program stops in the
// middle of its session, with minutes of audio written, and is ended there by `signal`.
void killMidway(int signal, const std::string& wav) {
  TemporaryFolder folder;
  std::string scenario = folder.path() + "/long.scenario";
  {
    std::ofstream out(scenario);
    out << "pref kEnabledPK false\nlaunch\n";
    for (int i = 0; i < 5000; ++i) out << "lock\nwait 2\nnote a line of the timeline to fill it\n";
  }
  int timeline[2];
  ASSERT_EQ(pipe(timeline), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setpgid(0, 0);
    dup2(timeline[1], 1);
    close(timeline[0]);
    close(timeline[1]);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execl(PLINKA_SIM, PLINKA_SIM, "springboard", "--wav", wav.c_str(), scenario.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(child, child);
  close(timeline[1]);
  // Stopped once the file has stopped growing for a while.
  uintmax_t last = 0;
  int still = 0;
  for (int tries = 0; tries < 600 && still < 5; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::error_code ec;
    uintmax_t now = fs::file_size(wav, ec);
    still = !ec && now > 0 && now == last ? still + 1 : 0;
    last = ec ? 0 : now;
  }
  kill(-child, signal);
  int status = 0;
  waitpid(child, &status, 0);
  close(timeline[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the session ended before it was stopped";
}

TEST(WavFile, ASessionEndedBySignalKeepsAHeaderOfWhatWasWritten) {
  for (int signal : {SIGKILL, SIGTERM}) {
    SCOPED_TRACE(strsignal(signal));
    TemporaryFolder folder;
    std::string wav = folder.path() + "/killed.wav";
    ASSERT_NO_FATAL_FAILURE(killMidway(signal, wav));
    uint64_t onDisk = fs::file_size(wav);
    uint64_t offset = 0;
    uint32_t size = 0;
    ASSERT_TRUE(dataChunk(wav, offset, size)) << "not RIFF WAVE";
    ASSERT_GT(onDisk, offset + 20 * kBytesPerSecond) << "too little was written to judge";
    // The header counts what was written, but for at most the last few seconds.
    EXPECT_GT(size, 0u);
    EXPECT_LE(offset + size, onDisk);
    EXPECT_LT(onDisk - (offset + size), 10u * kBytesPerSecond);
    SF_INFO info{};
    SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.frames * 2, size);
    // The stock lock sound at 0.2 s is in what the header counts.
    std::vector<short> first(44100);
    EXPECT_EQ(sf_readf_short(file, first.data(), 44100), 44100);
    short loudest = 0;
    for (short s : first) loudest = std::max<short>(loudest, static_cast<short>(std::abs(s)));
    EXPECT_GT(loudest, 3000);
    sf_close(file);
  }
}

}  // namespace
