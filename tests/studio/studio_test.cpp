// plinka-sim studio through its HTTP API, as a page or a script would use it: a real studio
// process per test, a real HTTP client.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "build_paths.h"
#include "png_picture.h"
#include "program.h"
#include "temporary_folder.h"
#include "tones.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using testing_support::runProgram;
using testing_support::TemporaryFolder;

extern "C" char** environ;

// A running studio: its URL's port and token, and the process.
class Studio {
 public:
  explicit Studio(std::vector<std::string> extra = {}) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> args = {PLINKA_SIM, "studio", "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("cannot start the studio");
    if (pid_ == 0) {
      // A test that dies (a failed assertion aborts) takes its studio with it, so that no studio
      // outlives it holding the test runner's output open.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(127);
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execve(PLINKA_SIM, argv.data(), environ);
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    out_ = out[0];
    firstLine = line;
    size_t port = line.find("127.0.0.1:");
    size_t token = line.find("#token=");
    if (port == std::string::npos || token == std::string::npos) {
      throw std::runtime_error("no URL in: " + line);
    }
    this->port = std::stoi(line.substr(port + 10));
    this->token = line.substr(token + 7);
  }
  ~Studio() {
    if (pid_ > 0) stop();
    close(out_);
  }
  // Sends `signal` and answers the exit status.
  int stop(int signal = SIGTERM) {
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  httplib::Client client() const {
    httplib::Client c("127.0.0.1", port);
    c.set_default_headers({{"X-Plinka-Token", token}});
    c.set_read_timeout(60, 0);
    return c;
  }
  Json line(const std::string& host, const std::string& text, int* status = nullptr) {
    httplib::Client c = client();
    auto result = c.Post("/api/" + host, Json{{"line", text}}.dump(), "application/json");
    if (!result) return Json{{"failed", httplib::to_string(result.error())}};
    if (status != nullptr) *status = result->status;
    return Json::parse(result->body);
  }
  // The processes the studio started (its hosts).
  std::vector<pid_t> children() const {
    std::vector<pid_t> found;
    // Hosts started again are children of the serving thread that started them.
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid_) + "/task")) {
      std::ifstream list(task.path() / "children");
      for (pid_t child; list >> child;) found.push_back(child);
    }
    return found;
  }

  std::string firstLine;
  int port = 0;
  std::string token;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// Sends `request` as it is and answers what comes back until the server closes or 2 s pass.
std::string rawRequest(int port, const std::string& request) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return "";
  timeval timeout{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (write(fd, request.data(), request.size()) < 0) return "";
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
    answer.append(buffer, static_cast<size_t>(n));
    if (answer.find("\r\n\r\n") != std::string::npos) break;
  }
  close(fd);
  return answer;
}

// A query value with every byte but letters and digits percent-encoded.
std::string encoded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::vector<std::string> fileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<Json> jsonLines(const std::string& text) {
  std::vector<Json> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) out.push_back(Json::parse(line));
  }
  return out;
}

Json withoutHost(Json entry) {
  entry.erase("host");
  return entry;
}

std::string exampleDevice() {
  return std::string(PLINKA_BUILD_DIR) + "/examples/device";
}

// The studio's event stream, read as it comes on a thread of its own from construction until
// stop().
class EventStream {
 public:
  explicit EventStream(Studio& studio)
      : studio_(studio), reader_([this] {
          httplib::Client c = studio_.client();
          c.Get("/api/events", [this](const char* data, size_t size) {
            open_ = true;
            std::lock_guard<std::mutex> lock(mutex_);
            text_.append(data, size);
            return !stop_.load();
          });
          open_ = true;  // a stream that could not open does not keep the test waiting
        }) {
    while (!open_) usleep(1000);
  }
  ~EventStream() { stop(); }
  // Ends the reading: the reader hears of it with the next entry, which a note line makes.
  void stop() {
    if (!reader_.joinable()) return;
    stop_ = true;
    studio_.line("springboard", "note end");
    reader_.join();
  }
  std::string text() {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }
  // The entries streamed so far.
  std::vector<Json> entries() {
    std::vector<Json> seen;
    std::istringstream in(text());
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("data: ", 0) == 0) seen.push_back(Json::parse(line.substr(6)));
    }
    return seen;
  }

 private:
  Studio& studio_;
  std::mutex mutex_;
  std::string text_;
  std::atomic<bool> open_{false};
  std::atomic<bool> stop_{false};
  std::thread reader_;  // last, so that it starts once the rest is made
};

// A copy of the example device the test owns.
struct DeviceCopy : TemporaryFolder {
  DeviceCopy() { fs::copy(exampleDevice(), path(), fs::copy_options::recursive); }
};

// --- start, stop, and the safety checks
// -----------------------------------------------------------

TEST(StudioServing, PrintsItsAddressFirstAndStopsCleanlyOnEitherSignal) {
  for (int signal : {SIGINT, SIGTERM}) {
    Studio studio;
    EXPECT_EQ(studio.firstLine.rfind("Plinka studio: http://127.0.0.1:", 0), 0u)
        << studio.firstLine;
    EXPECT_EQ(studio.token.size(), 32u);
    std::vector<pid_t> hosts = studio.children();
    EXPECT_EQ(hosts.size(), 2u) << "a Settings application and a home screen";
    // The temporary device is named after the studio's process.
    std::string device;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
      std::string name = entry.path().filename().string();
      if (name.rfind("plinka-device-", 0) == 0 &&
          name.find(std::to_string(hosts.empty() ? 0 : getpid())) == std::string::npos) {
        device = entry.path().string();
      }
    }
    EXPECT_EQ(studio.stop(signal), 0);
    for (pid_t host : hosts) EXPECT_NE(kill(host, 0), 0) << "host " << host << " still runs";
  }
}

TEST(StudioServing, RemovesItsTemporaryDeviceOnStop) {
  // A temporary folder of the test's own, so that devices other tests make and remove meanwhile
  // are not counted.
  TemporaryFolder own;
  std::string saved = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
  setenv("TMPDIR", own.path().c_str(), 1);
  struct Restore {
    std::string saved;
    ~Restore() {
      if (saved.empty()) {
        unsetenv("TMPDIR");
      } else {
        setenv("TMPDIR", saved.c_str(), 1);
      }
    }
  } restore{saved};
  auto devices = [&own] {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(own.path())) {
      if (entry.path().filename().string().rfind("plinka-device-", 0) == 0) {
        found.insert(entry.path().string());
      }
    }
    return found;
  };
  std::set<std::string> before = devices();
  Studio studio;
  std::set<std::string> during = devices();
  EXPECT_GT(during.size(), before.size());
  EXPECT_EQ(studio.stop(SIGINT), 0);
  std::set<std::string> after = devices();
  for (const std::string& path : during) {
    if (before.count(path) == 0) {
      EXPECT_EQ(after.count(path), 0u) << path << " left behind";
    }
  }
}

TEST(StudioSafety, RefusesRequestsWithoutTheTokenOrFromElsewhere) {
  Studio studio;
  httplib::Client bare("127.0.0.1", studio.port);
  std::string body = R"({"line": "lock"})";
  auto noToken = bare.Post("/api/springboard", body, "application/json");
  ASSERT_TRUE(noToken);
  EXPECT_EQ(noToken->status, 403);
  EXPECT_TRUE(Json::parse(noToken->body).contains("error"));

  auto wrong = bare.Get("/api/sounds", {{"X-Plinka-Token", std::string(32, '0')}});
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->status, 403);

  auto byCookie = bare.Get("/api/sounds", {{"Cookie", "a=b; plinka-token=" + studio.token}});
  ASSERT_TRUE(byCookie);
  EXPECT_EQ(byCookie->status, 200);

  httplib::Client c = studio.client();
  auto rebound =
      c.Get("/api/sounds", {{"Host", "attacker.example:" + std::to_string(studio.port)}});
  ASSERT_TRUE(rebound);
  EXPECT_EQ(rebound->status, 403);
  auto otherPort = c.Get("/api/sounds", {{"Host", "127.0.0.1:1"}});
  ASSERT_TRUE(otherPort);
  EXPECT_EQ(otherPort->status, 403);
  auto localhost = c.Get("/api/sounds", {{"Host", "localhost:" + std::to_string(studio.port)}});
  ASSERT_TRUE(localhost);
  EXPECT_EQ(localhost->status, 200);

  auto foreign =
      c.Post("/api/springboard", {{"Origin", "http://attacker.example"}}, body, "application/json");
  ASSERT_TRUE(foreign);
  EXPECT_EQ(foreign->status, 403);
  auto own =
      c.Post("/api/springboard", {{"Origin", "http://127.0.0.1:" + std::to_string(studio.port)}},
             body, "application/json");
  ASSERT_TRUE(own);
  EXPECT_EQ(own->status, 200);

  // The page itself needs no token (its address's fragment never reaches the server).
  auto page = bare.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("<html"), std::string::npos);
}

TEST(StudioSafety, RefusesHugeBodiesBadJsonAndUnknownEndpoints) {
  Studio studio;
  httplib::Client c = studio.client();
  auto huge = c.Post("/api/settings", std::string(100 * 1024, ' '), "application/json");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 413);
  EXPECT_TRUE(Json::parse(huge->body).contains("error"));
  // An upload that announces more than 64 MiB is refused before a byte of it is read.
  std::string bigUpload = rawRequest(
      studio.port,
      "POST /api/library?ext=PNG HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(studio.port) +
          "\r\nX-Plinka-Token: " + studio.token + "\r\nContent-Length: 70000000\r\n\r\n");
  EXPECT_EQ(bigUpload.rfind("HTTP/1.1 413", 0), 0u) << bigUpload;

  for (std::string body : {"{", "[]", R"({"line": 3})", R"({"text": "lock"})"}) {
    auto bad = c.Post("/api/springboard", body, "application/json");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400) << body;
    EXPECT_TRUE(Json::parse(bad->body)["error"].is_string()) << body;
  }
  auto unknown = c.Get("/api/nothing");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 404);
  EXPECT_TRUE(Json::parse(unknown->body).contains("error"));
  auto wrongMethod = c.Get("/api/springboard");
  ASSERT_TRUE(wrongMethod);
  EXPECT_EQ(wrongMethod->status, 405);
  // The device still answers.
  EXPECT_EQ(studio.line("springboard", "lock")["ok"], true);
}

TEST(StudioSafety, ServesOnlyTheDevicesOwnSounds) {
  DeviceCopy device;
  // A link inside a sound folder that leads out of the device.
  fs::create_symlink("/etc/passwd",
                     device.path() + "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/out.caf");
  Studio studio({"--device-root", device.path()});
  httplib::Client c = studio.client();
  for (std::string path :
       {"/etc/passwd", "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/../../../../../etc/passwd",
        "/var/mobile/Library/Preferences/com.plinka.plinka3.plist",
        "/var/LIY/PreferenceBundles/Plinka3.bundle/safari@2x.png",
        "var/LIY/PreferenceBundles/Plinka3.bundle/Lock/Latch.aiff",
        "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/out.caf"}) {
    auto answer = c.Get("/api/sound?path=" + encoded(path));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 400) << path;
    EXPECT_TRUE(Json::parse(answer->body).contains("error")) << path;
  }
  auto missing = c.Get("/api/sound?path=" +
                       encoded("/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/none.caf"));
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
}

// --- the endpoints' answers -------------------------------------------------------------------

TEST(StudioApi, ASoundIsServedAsTheWavTheDeviceDecodesAndIsCacheable) {
  DeviceCopy device;
  // A one-second, 22050 Hz mono CAF of known samples.
  std::string caf = device.path() + "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/second.caf";
  tones::Sound sound;
  sound.notes = {{0, 440, 1.0, 0.5, 0}};
  sound.seconds = 1.0;
  sound.sampleRate = 22050;
  sound.format = SF_FORMAT_CAF | SF_FORMAT_PCM_16;
  std::string error;
  ASSERT_TRUE(tones::write(caf, sound, error)) << error;
  Studio studio({"--device-root", device.path()});
  httplib::Client c = studio.client();
  // Four slashes, as the journal names the file.
  std::string path = "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock////second.caf";
  auto wav = c.Get("/api/sound?path=" + encoded(path));
  ASSERT_TRUE(wav);
  ASSERT_EQ(wav->status, 200) << wav->body;
  EXPECT_EQ(wav->get_header_value("Content-Type"), "audio/wav");
  const std::string& b = wav->body;
  ASSERT_GE(b.size(), 44u);
  EXPECT_EQ(b.substr(0, 4), "RIFF");
  EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
  auto u16 = [&](size_t at) { return uint8_t(b[at]) | uint8_t(b[at + 1]) << 8; };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  EXPECT_EQ(u16(20), 1) << "PCM";
  EXPECT_EQ(u16(22), 1) << "mono";
  EXPECT_EQ(u32(24), 22050u);
  EXPECT_EQ(u16(34), 16) << "bits";
  EXPECT_EQ(u32(40), 22050u * 2) << "one second of 16-bit samples";
  EXPECT_EQ(b.size(), 44u + 22050 * 2);
  // The same samples as the file's own (written as 16-bit, read back exactly).
  SF_INFO info{};
  SNDFILE* file = sf_open(caf.c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  std::vector<short> samples(static_cast<size_t>(info.frames));
  sf_read_short(file, samples.data(), info.frames);
  sf_close(file);
  for (size_t i = 0; i < samples.size(); i += 997) {
    EXPECT_NEAR(static_cast<int16_t>(u16(44 + 2 * i)), samples[i], 1) << "sample " << i;
  }

  std::string tag = wav->get_header_value("ETag");
  ASSERT_FALSE(tag.empty());
  auto again = c.Get("/api/sound?path=" + encoded(path), {{"If-None-Match", tag}});
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 304);

  // Not audio: a clear error.
  std::ofstream(device.path() + "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/text.caf")
      << "not a sound";
  auto text = c.Get("/api/sound?path=" +
                    encoded("/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/text.caf"));
  ASSERT_TRUE(text);
  EXPECT_EQ(text->status, 422);
}

TEST(StudioApi, SoundsAnswersAsTheSoundsCommandDoes) {
  DeviceCopy device;
  Studio studio({"--device-root", device.path()});
  auto answer = studio.client().Get("/api/sounds");
  ASSERT_TRUE(answer);
  ASSERT_EQ(answer->status, 200);
  Json got = Json::parse(answer->body);
  auto command = runProgram(PLINKA_SIM, {"sounds", "--json", "--device-root", device.path()});
  std::vector<Json> expected = jsonLines(command.out);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(got["checks"], Json(expected));
  EXPECT_EQ(got["allPlay"], command.status == 0);
}

TEST(StudioApi, AnImportedSoundIsPlayedByTheNextSpringboardLine) {
  DeviceCopy device;
  Studio studio({"--device-root", device.path()});
  TemporaryFolder scratch;
  tones::Sound sound;
  sound.notes = {{0, 660, 0.3, 0.5}};
  std::string wav = scratch.path() + "/click.wav";
  std::string error;
  ASSERT_TRUE(tones::write(wav, sound, error));
  std::ifstream in(wav, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  httplib::Client c = studio.client();
  auto imported =
      c.Post("/api/sounds/import?event=Lock&name=click.caf", bytes, "application/octet-stream");
  ASSERT_TRUE(imported);
  ASSERT_EQ(imported->status, 200) << imported->body;
  Json result = Json::parse(imported->body);
  EXPECT_EQ(result["name"], "click.caf");
  EXPECT_TRUE(
      fs::exists(device.path() + "/var/LIY/PreferenceBundles/Plinka3.bundle/Lock/click.caf"));

  // A second import of that name is refused without force, accepted with it.
  auto again =
      c.Post("/api/sounds/import?event=Lock&name=click.caf", bytes, "application/octet-stream");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 409);
  auto forced = c.Post("/api/sounds/import?event=Lock&name=click.caf&force=1", bytes,
                       "application/octet-stream");
  ASSERT_TRUE(forced);
  EXPECT_EQ(forced->status, 200);
  for (std::string bad : {"event=Nothing&name=a.caf", "event=Lock&name=..%2Fa.caf"}) {
    auto refused = c.Post("/api/sounds/import?" + bad, bytes, "application/octet-stream");
    ASSERT_TRUE(refused);
    EXPECT_GE(refused->status, 400) << bad;
    EXPECT_LT(refused->status, 500) << bad;
  }
  auto notAudio = c.Post("/api/sounds/import?event=Lock&name=b.caf", std::string("hello"),
                         "application/octet-stream");
  ASSERT_TRUE(notAudio);
  EXPECT_EQ(notAudio->status, 422);

  // The new name reaches the tweak at the next respring.
  EXPECT_EQ(studio.line("springboard", "launch")["ok"], true);
  Json lock = studio.line("springboard", "lock");
  bool played = false;
  for (const Json& e : lock["entries"]) {
    if (e["kind"] == "sound-play" &&
        e.value("path", "").find("Lock////click.caf") != std::string::npos) {
      played = true;
      // The played file is served as the journal names it.
      auto served = c.Get("/api/sound?path=" + encoded(e["path"].get<std::string>()));
      ASSERT_TRUE(served);
      EXPECT_EQ(served->status, 200);
    }
  }
  EXPECT_TRUE(played) << lock.dump();
}

TEST(StudioApi, TheLibraryListsTakesAndThumbnailsItems) {
  DeviceCopy device;
  Studio studio({"--device-root", device.path()});
  httplib::Client c = studio.client();
  auto listed = c.Get("/api/library");
  ASSERT_TRUE(listed);
  Json items = Json::parse(listed->body)["items"];
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0]["name"], "IMG_0001.HEIC");
  EXPECT_EQ(items[0]["kind"], "image");
  EXPECT_EQ(items[0]["width"], 640);
  EXPECT_EQ(items[3]["kind"], "video");
  EXPECT_NEAR(items[3]["seconds"].get<double>(), 1.5, 0.1);

  auto thumb = c.Get("/api/library/thumbnail?item=IMG_0001.HEIC");
  ASSERT_TRUE(thumb);
  ASSERT_EQ(thumb->status, 200);
  EXPECT_EQ(thumb->body.substr(1, 3), "PNG");
  auto u32be = [&](size_t at) {
    const std::string& b = thumb->body;
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
           uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
  };
  EXPECT_EQ(u32be(16), 256u) << "640 wide at most 256";
  EXPECT_EQ(u32be(20), 192u);
  auto none = c.Get("/api/library/thumbnail?item=IMG_9999.PNG");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->status, 404);

  // A picture is added as the next item; bytes that are no picture are refused.
  std::ifstream png(device.path() + "/var/mobile/Media/DCIM/100APPLE/IMG_0003.PNG",
                    std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(png)), std::istreambuf_iterator<char>());
  auto added = c.Post("/api/library?ext=png", bytes, "image/png");
  ASSERT_TRUE(added);
  ASSERT_EQ(added->status, 200) << added->body;
  EXPECT_EQ(Json::parse(added->body)["item"], "IMG_0007.PNG");
  auto junk = c.Post("/api/library?ext=JPG", std::string("no picture"), "image/jpeg");
  ASSERT_TRUE(junk);
  EXPECT_EQ(junk->status, 415);
  auto junkVideo = c.Post("/api/library?ext=MOV", std::string(1000, 'v'), "video/quicktime");
  ASSERT_TRUE(junkVideo);
  EXPECT_EQ(junkVideo->status, 415);
  auto badExt = c.Post("/api/library?ext=..%2F..%2Fx", bytes, "image/png");
  ASSERT_TRUE(badExt);
  EXPECT_EQ(badExt->status, 400);
  Json after = Json::parse(c.Get("/api/library")->body)["items"];
  EXPECT_EQ(after.size(), 7u) << "refused uploads leave nothing behind";
}

TEST(StudioApi, TheScreenAndItsPictureShowThePane) {
  Studio studio;
  httplib::Client c = studio.client();
  auto screen = c.Get("/api/screen");
  ASSERT_TRUE(screen);
  ASSERT_EQ(screen->status, 200);
  Json shown = Json::parse(screen->body);
  ASSERT_TRUE(shown["rows"].is_array());
  const Json* volume = nullptr;
  for (const Json& row : shown["rows"]) {
    if (row["label"] == "Volume") volume = &row;
  }
  ASSERT_NE(volume, nullptr);
  EXPECT_EQ((*volume)["type"], "PSSwitchCell");
  EXPECT_EQ((*volume)["value"], false);
  EXPECT_EQ((*volume)["height"], 44);
  EXPECT_EQ(shown["presented"], nullptr);
  size_t before = shown["rows"].size();

  auto picture = c.Get("/api/screen.png?scale=2");
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->status, 200);
  EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
  EXPECT_EQ(picture->body.substr(1, 3), "PNG");
  auto bad = c.Get("/api/screen.png?scale=7");
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->status, 400);
  // Each appearance is drawn with its system colours: the grouped background at the page's foot.
  const std::pair<const char*, testing_support::Pixel> appearances[] = {
      {"light", {0xF2, 0xF2, 0xF7}}, {"dark", {0, 0, 0}}};
  for (const auto& [appearance, background] : appearances) {
    auto drawn = c.Get(std::string("/api/screen.png?scale=1&appearance=") + appearance);
    ASSERT_TRUE(drawn);
    ASSERT_EQ(drawn->status, 200);
    TemporaryFolder folder;
    std::string file = folder.path() + "/screen.png";
    std::ofstream(file, std::ios::binary) << drawn->body;
    testing_support::PngPicture png = testing_support::readPng(file, 1);
    ASSERT_FALSE(png.empty());
    testing_support::Pixel foot = png.pixel(10, png.height - 3);
    EXPECT_TRUE(testing_support::near(foot, background))
        << appearance << ": " << testing_support::describe(foot);
  }

  // Turning Volume on shows its sound row.
  EXPECT_EQ(studio.line("settings", "set Volume on")["ok"], true);
  Json after = Json::parse(c.Get("/api/screen")->body);
  EXPECT_EQ(after["rows"].size(), before + 1);
}

// --- lines: the same as the command line ---------------------------------------------------------

// Every line of every example scenario, one request each, gives the entries the command gives
// for the whole scenario. The studio's home screen was launched as it started (0.2 s on the
// clock and one process earlier), which is all that tells them apart.
TEST(StudioLines, ExampleScenariosGiveTheCommandsEntries) {
  for (const char* name : {"demo.scenario", "lock-unlock.scenario", "respring-modes.scenario"}) {
    std::string file = std::string(PLINKA_SOURCE_DIR) + "/examples/" + name;
    auto command = runProgram(PLINKA_SIM, {"springboard", "--json", file});
    ASSERT_EQ(command.status, 0) << command.err;
    std::vector<Json> expected = jsonLines(command.out);

    Studio studio;
    std::vector<Json> got;
    std::string output;
    for (const std::string& line : fileLines(file)) {
      int status = 0;
      Json answer = studio.line("springboard", line, &status);
      ASSERT_EQ(status, 200) << line << ": " << answer.dump();
      ASSERT_EQ(answer["ok"], true) << line;
      for (Json entry : answer["entries"]) {
        EXPECT_EQ(entry["host"], "springboard");
        entry = withoutHost(entry);
        entry["t"] = std::round((entry["t"].get<double>() - 0.2) * 1000) / 1000;
        if (entry["kind"] == "launch") entry["process"] = entry["process"].get<int>() - 1;
        got.push_back(entry);
      }
      // The output is the timeline: one line per entry.
      std::string text = answer["output"];
      EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')),
                answer["entries"].size())
          << line;
    }
    ASSERT_EQ(got.size(), expected.size()) << name;
    for (size_t i = 0; i < got.size(); ++i) {
      Json want = expected[i];
      want["t"] = std::round(want["t"].get<double>() * 1000) / 1000;
      EXPECT_EQ(got[i], want) << name << " entry " << i;
    }
  }
}

TEST(StudioLines, TheDemoSettingsScriptGivesTheCommandsOutputAndEntries) {
  // Both open the pane installed on the example device.
  std::string script = std::string(PLINKA_SOURCE_DIR) + "/examples/settings/demo.settings";
  auto text = runProgram(PLINKA_SIM, {"settings", script});
  auto json = runProgram(PLINKA_SIM, {"settings", "--json", script});
  ASSERT_EQ(text.status, 0) << text.err;
  std::vector<Json> expected = jsonLines(json.out);

  Studio studio;
  std::string output;
  std::vector<Json> got;
  for (const std::string& line : fileLines(script)) {
    Json answer = studio.line("settings", line);
    ASSERT_EQ(answer["ok"], true) << line << ": " << answer.dump();
    output += answer["output"].get<std::string>();
    for (const Json& entry : answer["entries"]) {
      EXPECT_EQ(entry["host"], "settings");
      got.push_back(withoutHost(entry));
    }
  }
  // The command also prints what opening the pane made (its cells) before the first line.
  ASSERT_GE(text.out.size(), output.size());
  EXPECT_EQ(text.out.substr(text.out.size() - output.size()), output);
  ASSERT_GE(expected.size(), got.size());
  std::vector<Json> tail(expected.end() - static_cast<long>(got.size()), expected.end());
  // The studio's clock stands at 0.2 s (its home screen's launch); settings lines take none.
  for (Json& entry : got) {
    EXPECT_NEAR(entry["t"].get<double>(), 0.2, 1e-9);
    entry["t"] = 0.0;
  }
  EXPECT_EQ(got, tail);
}

TEST(StudioLines, RefusedLinesSayWhyWithoutFileAndLine) {
  Studio studio;
  int status = 0;
  Json settings = studio.line("settings", "set Nothing on", &status);
  EXPECT_EQ(status, 422);
  EXPECT_EQ(settings["ok"], false);
  EXPECT_EQ(settings["error"], "no row named 'Nothing'");
  Json springboard = studio.line("springboard", "volume sideways", &status);
  EXPECT_EQ(status, 422);
  EXPECT_EQ(springboard["error"], "volume goes up or down, not 'sideways'");
  Json twoLines = studio.line("springboard", "lock\nunlock", &status);
  EXPECT_EQ(twoLines["ok"], false);
  EXPECT_EQ(twoLines["error"], "one line at a time: the text holds a line break");
  EXPECT_TRUE(twoLines["entries"].empty());
  Json comment = studio.line("springboard", "# nothing", &status);
  EXPECT_EQ(comment["ok"], true);
  EXPECT_TRUE(comment["entries"].empty());
}

TEST(StudioLines, ASettingsChangeReachesTheTweakOnlyAfterARespring) {
  DeviceCopy device;
  Studio studio({"--device-root", device.path()});
  auto volumeSounds = [](const Json& answer) {
    int n = 0;
    for (const Json& e : answer["entries"]) {
      if (e["kind"] == "sound-play" && e.value("path", "").find("/Volume/") != std::string::npos)
        ++n;
    }
    return n;
  };
  EXPECT_EQ(volumeSounds(studio.line("springboard", "volume up")), 0) << "Volume is off";
  ASSERT_EQ(studio.line("settings", "set Volume on")["ok"], true);
  EXPECT_EQ(volumeSounds(studio.line("springboard", "volume up")), 0)
      << "the running process keeps its settings";
  Json launch = studio.line("springboard", "launch");
  ASSERT_EQ(launch["ok"], true);
  EXPECT_EQ(launch["entries"][0]["kind"], "launch");
  EXPECT_EQ(volumeSounds(studio.line("springboard", "volume up")), 1);

  // A value the home screen stores is what the Settings application shows at its next line.
  ASSERT_EQ(studio.line("springboard", "pref kCustomVolume false")["ok"], true);
  Json shown = Json::parse(studio.client().Get("/api/screen")->body);
  for (const Json& row : shown["rows"]) {
    if (row["label"] == "Volume") {
      EXPECT_EQ(row["value"], false);
    }
  }
}

// What the scenario parser knows of the running process carries over a respring: a class left
// out at the next launch is missing after it, until it is registered, once.
TEST(StudioLines, AClassLeftOutIsMissingAfterTheRespringUntilRegistered) {
  Studio studio;
  ASSERT_EQ(studio.line("springboard", "without SBVolumeControl")["ok"], true);
  Json early = studio.line("springboard", "register SBVolumeControl");
  EXPECT_EQ(early["ok"], false) << "the running process has it";
  EXPECT_EQ(early["error"], "SBVolumeControl is already registered in the running process");
  ASSERT_EQ(studio.line("springboard", "launch")["ok"], true);
  // The volume press's call to SBVolumeControl finds no receiver while it is left out.
  auto missingCall = [](const Json& answer) {
    for (const Json& e : answer["entries"]) {
      if (e["kind"] == "call" && e["class"] == "SBVolumeControl") return e.value("missing", false);
    }
    ADD_FAILURE() << "no call to SBVolumeControl in " << answer.dump();
    return false;
  };
  EXPECT_TRUE(missingCall(studio.line("springboard", "volume up")));
  Json registered = studio.line("springboard", "register SBVolumeControl");
  EXPECT_EQ(registered["ok"], true) << registered.dump();
  Json again = studio.line("springboard", "register SBVolumeControl");
  EXPECT_EQ(again["ok"], false);
  EXPECT_FALSE(missingCall(studio.line("springboard", "volume up")));
}

TEST(StudioLines, OneClockForBothHosts) {
  Studio studio;
  Json wait = studio.line("springboard", "wait 2");
  Json show = studio.line("settings", "show");
  ASSERT_FALSE(show["entries"].empty());
  EXPECT_NEAR(show["entries"][0]["t"].get<double>(), 2.2, 1e-9)
      << "the launch at start (0.2 s) and the wait";
  Json lock = studio.line("springboard", "lock");
  EXPECT_NEAR(lock["entries"][0]["t"].get<double>(), 2.2, 1e-9) << "settings lines take no time";
  Json next = studio.line("springboard", "lock");
  EXPECT_NEAR(next["entries"][0]["t"].get<double>(), 2.4, 1e-9) << "a press takes 0.2 s";
}

TEST(StudioHosts, AHostThatDiesIsStartedAgainAndTheAnswerSaysSo) {
  Studio studio;
  std::vector<pid_t> hosts = studio.children();
  ASSERT_EQ(hosts.size(), 2u);
  for (pid_t host : hosts) kill(host, SIGKILL);
  usleep(100 * 1000);
  int status = 0;
  Json lock = studio.line("springboard", "lock", &status);
  EXPECT_EQ(status, 500);
  EXPECT_EQ(lock["ok"], false);
  EXPECT_EQ(lock["restarted"], true);
  EXPECT_NE(lock["error"].get<std::string>().find("Killed"), std::string::npos) << lock.dump();
  Json show = studio.line("settings", "show", &status);
  EXPECT_EQ(show["restarted"], true);
  // Both work again.
  EXPECT_EQ(studio.line("springboard", "lock")["ok"], true);
  EXPECT_EQ(studio.line("settings", "show")["ok"], true);
  EXPECT_EQ(studio.children().size(), 2u);
}

// --- many clients at once ------------------------------------------------------------------------

TEST(StudioConcurrency, FiftyClientsEachGetTheirOwnLinesEntriesContiguousInTheStream) {
  Studio studio;
  EventStream events(studio);

  constexpr int kClients = 50;
  constexpr int kLines = 20;
  std::vector<std::vector<Json>> answers(kClients);
  std::vector<std::thread> clients;
  for (int i = 0; i < kClients; ++i) {
    clients.emplace_back([&, i] {
      for (int n = 0; n < kLines; ++n) {
        answers[i].push_back(studio.line(
            "springboard", "note client " + std::to_string(i) + " line " + std::to_string(n)));
      }
    });
  }
  for (std::thread& t : clients) t.join();
  // A line with several entries, to see them together in the stream.
  studio.line("springboard", "volume up 3");
  usleep(300 * 1000);
  events.stop();
  for (int i = 0; i < kClients; ++i) {
    ASSERT_EQ(answers[i].size(), static_cast<size_t>(kLines));
    for (int n = 0; n < kLines; ++n) {
      const Json& a = answers[i][n];
      ASSERT_TRUE(a.contains("entries")) << a.dump();
      ASSERT_EQ(a["entries"].size(), 1u) << a.dump();
      EXPECT_EQ(a["entries"][0]["text"],
                "client " + std::to_string(i) + " line " + std::to_string(n));
    }
  }
  std::vector<Json> seen = events.entries();
  int notes = 0;
  for (const Json& e : seen) notes += e["kind"] == "note" ? 1 : 0;
  EXPECT_GE(notes, kClients * kLines);
  // The volume line's entries are together: its user entry, then its calls, nothing between.
  for (size_t i = 0; i < seen.size(); ++i) {
    if (seen[i]["kind"] == "user" && seen[i]["action"] == "volume") {
      for (size_t j = i + 1; j < seen.size() && seen[j]["kind"] != "note"; ++j) {
        EXPECT_NE(seen[j]["kind"], "user");
      }
    }
  }
}

}  // namespace

// --- what is presented over the pane -------------------------------------------------------------

TEST(StudioScreen, APushedListPageIsThePageOnTopWithItsChoices) {
  Studio studio;
  httplib::Client c = studio.client();
  Json root = Json::parse(c.Get("/api/screen")->body);
  EXPECT_TRUE(root["back"].is_null());
  EXPECT_TRUE(root["pages"].empty());
  std::string title = root["title"];
  ASSERT_EQ(studio.line("settings", "set Charge on")["ok"], true);
  Json tap = studio.line("settings", "tap \"Charge sound\"");
  ASSERT_EQ(tap["ok"], true) << tap.dump();

  Json page = Json::parse(c.Get("/api/screen")->body);
  EXPECT_EQ(page["title"], "Charge sound");
  EXPECT_EQ(page["back"], title);
  ASSERT_EQ(page["pages"].size(), 1u);
  EXPECT_EQ(page["pages"][0]["controller"], "PSListItemsController");
  EXPECT_EQ(page["presented"], nullptr);
  int items = 0;
  int checked = 0;
  for (const Json& row : page["rows"]) {
    if (row["type"] != "PSListItemCell") continue;
    ++items;
    if (row.value("checked", false)) {
      ++checked;
      EXPECT_EQ(row["value"], "Power Up.caf") << "the stored choice is checked";
      EXPECT_EQ(row["label"], "Power Up") << "a choice is named by its title";
    }
    EXPECT_GT(row["y"].get<double>(), 44) << "below the navigation bar";
  }
  EXPECT_GE(items, 1);
  EXPECT_EQ(checked, 1);
  // The picture is of the page on top: a page with a back button differs from the pane.
  auto picture = c.Get("/api/screen.png?scale=1");
  ASSERT_EQ(picture->status, 200);
  EXPECT_EQ(picture->body.substr(1, 3), "PNG");
}

TEST(StudioScreen, AnAlertOverThePaneIsPresentedUntilTheNextLine) {
  // The authentication row is refused with an alert outside iOS 13.0 to 14.8.
  Studio studio({"--system-version", "15.0"});
  httplib::Client c = studio.client();
  Json refused = studio.line("settings", "set \"Play on authentication\" on");
  ASSERT_EQ(refused["ok"], true) << refused.dump();
  Json shown = Json::parse(c.Get("/api/screen")->body);
  ASSERT_TRUE(shown["presented"].is_object()) << shown.dump();
  EXPECT_EQ(shown["presented"]["kind"], "alert");
  EXPECT_FALSE(shown["presented"]["title"].get<std::string>().empty());
  EXPECT_FALSE(shown["presented"]["actions"].empty());
  for (const Json& row : shown["rows"]) {
    if (row["label"] == "Play on authentication") {
      EXPECT_EQ(row["value"], false);
    }
  }
  // The user closes it before the next line.
  ASSERT_EQ(studio.line("settings", "show")["ok"], true);
  EXPECT_EQ(Json::parse(c.Get("/api/screen")->body)["presented"], nullptr);
}

TEST(StudioScreen, ThePhotoPickerIsPresentedUntilAPickOrCancel) {
  // The installed pane's rows are the pictures list: its rows open the photo picker.
  DeviceCopy device;
  fs::copy_file(std::string(PLINKA_SOURCE_DIR) + "/examples/settings/Pictures.plist",
                fs::path(device.path()) / "var/LIY/PreferenceBundles/Plinka3.bundle/Root.plist",
                fs::copy_options::overwrite_existing);
  Studio studio({"--device-root", device.path()});
  httplib::Client c = studio.client();
  Json tap = studio.line("settings", "tap \"Lock picture\"");
  ASSERT_EQ(tap["ok"], true) << tap.dump();
  Json shown = Json::parse(c.Get("/api/screen")->body);
  ASSERT_TRUE(shown["presented"].is_object()) << shown.dump();
  EXPECT_EQ(shown["presented"]["kind"], "picker");
  EXPECT_EQ(shown["presented"]["controller"], "UIImagePickerController");
  ASSERT_EQ(studio.line("settings", "cancel")["ok"], true);
  EXPECT_EQ(Json::parse(c.Get("/api/screen")->body)["presented"], nullptr);
}

// --- clients that go away ------------------------------------------------------------------------

// Lines whose clients hang up before the answer each run once, whole; an upload cut short puts
// nothing on the device; the studio goes on serving.
TEST(StudioHosts, ClientsThatDisconnectMidRequestLeaveTheDeviceConsistent) {
  Studio studio;
  EventStream events(studio);
  size_t libraryItems = Json::parse(studio.client().Get("/api/library")->body)["items"].size();

  constexpr int kGone = 12;
  std::string body = Json{{"line", "volume up 2"}}.dump();
  std::vector<std::thread> clients;
  for (int i = 0; i < kGone; ++i) {
    clients.emplace_back([&] {
      // The whole request, then the connection closed without reading the answer.
      int fd = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<uint16_t>(studio.port));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::string request =
            "POST /api/springboard HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(studio.port) +
            "\r\nX-Plinka-Token: " + studio.token +
            "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body;
        EXPECT_EQ(write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
      }
      close(fd);
    });
  }
  for (std::thread& t : clients) t.join();
  // An upload that stops halfway.
  std::string cut = rawRequest(
      studio.port,
      "POST /api/library?ext=png HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(studio.port) +
          "\r\nX-Plinka-Token: " + studio.token + "\r\nContent-Length: 100000\r\n\r\n\x89PNG\r\n");
  (void)cut;

  // Wait until every hung-up line has run (its volume press made its entries).
  size_t presses = 0;
  for (int tries = 0; tries < 500 && presses < kGone; ++tries) {
    presses = 0;
    for (const Json& e : events.entries()) presses += e.value("action", "") == "volume" ? 1 : 0;
    if (presses < kGone) usleep(10 * 1000);
  }
  ASSERT_EQ(presses, static_cast<size_t>(kGone));
  // Each ran whole: two presses of 0.2 s each, so the next line starts where they all end.
  Json next = studio.line("springboard", "lock");
  ASSERT_EQ(next["ok"], true);
  EXPECT_NEAR(next["entries"][0]["t"].get<double>(), 0.2 + kGone * 0.4, 1e-9);
  events.stop();
  // Each line's entries are together in the stream: nothing of another line between its user
  // entry and the next one's.
  std::vector<Json> seen = events.entries();
  std::vector<int> perLine;
  for (const Json& e : seen) {
    if (e["kind"] == "user") perLine.push_back(0);
    if (!perLine.empty()) ++perLine.back();
  }
  ASSERT_GE(perLine.size(), static_cast<size_t>(kGone));
  for (int i = 0; i < kGone; ++i) EXPECT_EQ(perLine[i], perLine[0]) << "line " << i;
  // Nothing of the cut upload reached the library, and the studio still serves.
  EXPECT_EQ(Json::parse(studio.client().Get("/api/library")->body)["items"].size(), libraryItems);
}

// --- what the page is served, and what it is told ------------------------------------------------

namespace {

// The studio on a copy of the example device whose pane shows the rows of `rows` (a row list of
// examples/settings/).
struct StudioOnRows {
  explicit StudioOnRows(const std::string& rows) {
    fs::copy_file(std::string(PLINKA_SOURCE_DIR) + "/examples/settings/" + rows,
                  fs::path(device.path()) / "var/LIY/PreferenceBundles/Plinka3.bundle/Root.plist",
                  fs::copy_options::overwrite_existing);
    studio = std::make_unique<Studio>(std::vector<std::string>{"--device-root", device.path()});
  }
  Json screen() const { return Json::parse(studio->client().Get("/api/screen")->body); }
  Json row(const std::string& label) const {
    Json shown = screen();
    for (const Json& row : shown["rows"]) {
      if (row["label"] == label) return row;
    }
    return Json();
  }
  DeviceCopy device;
  std::unique_ptr<Studio> studio;
};

}  // namespace

TEST(StudioPageFiles, ItsFilesAreServedWithTheirTypesAndAskForNothingElsewhere) {
  Studio studio;
  httplib::Client bare("127.0.0.1", studio.port);
  auto index = bare.Get("/");
  ASSERT_TRUE(index);
  EXPECT_EQ(index->status, 200);
  EXPECT_EQ(index->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_EQ(bare.Get("/index.html")->body, index->body);
  // The browser is told to load and ask for nothing from anywhere else.
  std::string policy = index->get_header_value("Content-Security-Policy");
  EXPECT_NE(policy.find("default-src 'self'"), std::string::npos) << policy;
  EXPECT_EQ(index->get_header_value("X-Content-Type-Options"), "nosniff");
  const std::map<std::string, std::string> files = {
      {"/studio.js", "text/javascript; charset=utf-8"}, {"/studio.css", "text/css; charset=utf-8"}};
  for (const auto& [path, type] : files) {
    EXPECT_NE(index->body.find("\"" + path.substr(1) + "\""), std::string::npos) << path;
    auto file = bare.Get(path);
    ASSERT_TRUE(file) << path;
    EXPECT_EQ(file->status, 200) << path;
    EXPECT_EQ(file->get_header_value("Content-Type"), type) << path;
    // Byte for byte the file in the source tree: embedded whole, at build time.
    std::ifstream source(std::string(PLINKA_SOURCE_DIR) + "/sim/studio/page" + path,
                         std::ios::binary);
    std::string want((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
    EXPECT_EQ(file->body, want) << path;
    for (const std::string& text : {index->body, file->body}) {
      EXPECT_EQ(text.find("http://"), std::string::npos) << path;
      EXPECT_EQ(text.find("https://"), std::string::npos) << path;
    }
  }
  EXPECT_EQ(bare.Get("/studio.jsx")->status, 404);
  EXPECT_EQ(bare.Post("/studio.js", "", "text/plain")->status, 405);
  // The API still wants its token.
  EXPECT_EQ(bare.Get("/api/screen")->status, 403);
}

// The stream carries each entry with the line the command prints for it; a line's answer has the
// entries as --json prints them, nothing added.
TEST(StudioEvents, EachEntryComesWithWhatTheCommandPrintsForIt) {
  Studio studio;
  EventStream events(studio);
  Json lock = studio.line("springboard", "lock");
  Json store = studio.line("settings", "set Volume on");
  for (int i = 0; i < 2000 && events.text().find("kCustomVolume") == std::string::npos; ++i) {
    usleep(1000);
  }
  events.stop();
  for (const Json* answer : {&lock, &store}) {
    ASSERT_EQ((*answer)["ok"], true) << answer->dump();
    for (const Json& entry : (*answer)["entries"]) EXPECT_FALSE(entry.contains("printed"));
  }
  std::vector<Json> seen = events.entries();
  // The home screen's entries: the timeline's lines, one each, in the answer's output.
  std::vector<std::string> timeline;
  for (const Json& e : seen) {
    if (e["host"] == "springboard" && e["kind"] != "note") timeline.push_back(e["printed"]);
    EXPECT_TRUE(e["printed"].is_string()) << e.dump();
  }
  std::string joined;
  for (const std::string& line : timeline) joined += line + "\n";
  EXPECT_EQ(joined, lock["output"].get<std::string>());
  // The Settings application's: what the settings command prints for each ("cell" entries of
  // the framework's own cells print nothing).
  std::string settingsText;
  for (const Json& e : seen) {
    if (e["host"] != "settings") continue;
    std::string printed = e["printed"];
    if (!printed.empty()) settingsText += printed + "\n";
    if (e["kind"] == "store") {
      EXPECT_EQ(printed, "store Volume (kCustomVolume) = on");
    }
  }
  EXPECT_EQ(settingsText, store["output"].get<std::string>());
}

TEST(StudioScreen, ASegmentsTitlesAndASlidersBoundsAreWhereThePagePutsItsControls) {
  StudioOnRows rows("RowTypes.plist");
  Json mode = rows.row("Mode");
  EXPECT_EQ(mode["segments"], Json::array({"Off", "Quiet", "Loud"})) << mode.dump();
  Json volume = rows.row("Volume");
  EXPECT_EQ(volume["min"], 0.0);
  EXPECT_EQ(volume["max"], 1.0);
  EXPECT_EQ(volume["valueShown"], false);
  Json steps = rows.row("Steps");
  EXPECT_EQ(steps["max"], 4.0);
  EXPECT_EQ(steps["valueShown"], true) << "its cell shows the value at its right";
  EXPECT_FALSE(rows.row("Switch").contains("segments"));
  EXPECT_FALSE(rows.row("Switch").contains("min"));
  // A title chosen on the segment, as the page sends it, stores the value it stands for.
  ASSERT_EQ(rows.studio->line("settings", "set Mode \"Loud\"")["ok"], true);
  EXPECT_EQ(rows.row("Mode")["value"], 2);
}

TEST(StudioScreen, ThePickerOffersWhatItTakesAndTheRowShowsThePickedPreview) {
  StudioOnRows rows("Pictures.plist");
  EXPECT_EQ(rows.row("Lock picture")["preview"], Json({{"source", "none"}}));
  ASSERT_EQ(rows.studio->line("settings", "tap \"Lock picture\"")["ok"], true);
  Json items = rows.screen()["presented"]["items"];
  Json library = Json::parse(rows.studio->client().Get("/api/library")->body)["items"];
  // Pictures only: the library's videos are not offered to a row that takes none.
  size_t pictures = 0;
  for (const Json& item : library) pictures += item["kind"] == "image" ? 1 : 0;
  ASSERT_GT(pictures, 0u);
  ASSERT_LT(pictures, library.size());
  EXPECT_EQ(items.size(), pictures) << items.dump();
  for (const Json& item : items) EXPECT_EQ(item["video"], false) << item.dump();
  ASSERT_EQ(rows.studio->line("settings", "pick " + items[0]["name"].get<std::string>())["ok"],
            true);
  Json preview = rows.row("Lock picture")["preview"];
  EXPECT_EQ(preview["source"], "picture") << preview.dump();
  EXPECT_EQ(preview["width"], library[0]["width"]);
  // A row that takes videos is offered them, with their length.
  ASSERT_EQ(rows.studio->line("settings", "tap \"Unlock background\"")["ok"], true);
  Json both = rows.screen()["presented"]["items"];
  EXPECT_EQ(both.size(), library.size());
  bool video = false;
  for (const Json& item : both) {
    if (item["video"] == true) {
      video = true;
      EXPECT_TRUE(item["duration"].is_string()) << item.dump();
    }
  }
  EXPECT_TRUE(video);
}

TEST(StudioScreen, AnAlertSaysWhichActionTheNextLineClosesItWith) {
  Studio studio({"--system-version", "15.0"});
  ASSERT_EQ(studio.line("settings", "set \"Play on authentication\" on")["ok"], true);
  Json alert = Json::parse(studio.client().Get("/api/screen")->body)["presented"];
  ASSERT_TRUE(alert.is_object());
  ASSERT_EQ(alert["actions"], Json::array({"Close"})) << alert.dump();
  EXPECT_EQ(alert["closingAction"], 0);
}
