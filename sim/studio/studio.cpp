// plinka-sim studio: one simulated device, its two hosts, behind a local web server.
#include <device/device.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>

#include "commands.h"
#include "device_files.h"
#include "device_lines.h"
#include "example_device.h"
#include "help.h"
#include "host_process.h"
#include "http.h"
#include "line_request.h"
#include "options.h"
#include "page_files.h"
#include "settings/settings_options.h"
#include "sound_check.h"
#include "sound_import.h"

namespace fs = std::filesystem;

namespace studio {

namespace {

constexpr const char* kName = "studio";
// Bodies: a line request is small; an upload (a sound, a picture, a video) is not.
constexpr size_t kLineBodyLimit = 64 * 1024;
constexpr size_t kUploadLimit = 64 * 1024 * 1024;
// Event streams held open at once; each holds a serving thread. The rest of the pool serves
// requests, those waiting for the device included.
constexpr size_t kServingThreads = 96;
constexpr size_t kEventsKept = 4096;

struct Options {
  std::string deviceRoot;
  int port = 8040;
  std::string pane;  // which installed pane; empty: the only one
  std::string systemVersion;
  std::string machine;
};

// The Settings application's options, as `plinka-sim settings` takes them.
Arguments settingsArguments(const Options& options, const std::string& root) {
  Arguments args = {"--device-root", root};
  if (!options.pane.empty()) args.insert(args.end(), {"--pane", options.pane});
  if (!options.systemVersion.empty()) {
    args.insert(args.end(), {"--system-version", options.systemVersion});
  }
  if (!options.machine.empty()) args.insert(args.end(), {"--machine", options.machine});
  return args;
}

Json error(const std::string& message) {
  return {{"error", message}};
}

http::Response json(int status, const Json& body) {
  http::Response response;
  response.status = status;
  response.body = body.dump();
  return response;
}

http::Response failure(int status, const std::string& message) {
  return json(status, error(message));
}

std::string newToken() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<size_t>(n);
  }
  std::string token;
  for (unsigned char b : bytes) {
    static const char* const kHex = "0123456789abcdef";
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

bool sameSecret(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

std::string cookie(const std::string& header, const std::string& name) {
  size_t at = 0;
  while (at < header.size()) {
    size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    std::string pair = header.substr(at, end - at);
    size_t start = pair.find_first_not_of(' ');
    if (start != std::string::npos) pair.erase(0, start);
    if (pair.compare(0, name.size() + 1, name + "=") == 0) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return "";
}

// --- the event stream ------------------------------------------------------------------------

// Journal entries of both hosts, in the order they were made; each stream reads on from where it
// joined. A stream that falls more than kEventsKept behind skips ahead (and is told so).
class Events {
 public:
  void publish(const Json& entry) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      kept_.push_back(entry.dump());
      ++next_;
      if (kept_.size() > kEventsKept) kept_.pop_front();
    }
    changed_.notify_all();
  }
  void close() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    changed_.notify_all();
  }
  void stream(const http::StreamWrite& write) {
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t at = next_;
    if (!write(": plinka studio events\n\n")) return;
    while (!closed_) {
      changed_.wait_for(lock, std::chrono::seconds(15), [&] { return closed_ || next_ != at; });
      if (closed_) break;
      std::string out;
      if (next_ == at) {
        out = ": keep-alive\n\n";
      } else {
        uint64_t first = next_ - kept_.size();
        if (at < first) {
          out += ": skipped " + std::to_string(first - at) + " entries\n\n";
          at = first;
        }
        for (; at < next_; ++at) out += "data: " + kept_[at - first] + "\n\n";
      }
      lock.unlock();
      bool written = write(out);
      lock.lock();
      if (!written) break;
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> kept_;
  uint64_t next_ = 0;  // the number of entries ever published
  bool closed_ = false;
};

// --- the device and its hosts ----------------------------------------------------------------

class Device {
 public:
  Device(const Options& options, std::string root, Events& events)
      : options_(options), root_(std::move(root)), events_(events) {
    program_ = fs::read_symlink("/proc/self/exe").string();
    scratch_ = root_ + ".studio";
  }
  ~Device() {
    stop();
    std::error_code error;
    fs::remove_all(scratch_, error);
  }

  bool start(std::string& why) {
    std::error_code error;
    fs::create_directories(scratch_, error);
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Json> ignored;
    if (!startSettings(ignored, why)) return false;
    return startHomeScreen(ignored, why);
  }

  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (settings_) settings_->stop();
    if (home_) home_->stop();
  }

  // One line on a host ("settings" or "springboard"); the HTTP status and the answer.
  std::pair<int, Json> line(const std::string& host, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Json> entries;
    bool settings = host == "settings";
    std::unique_ptr<HostProcess>& process = settings ? settings_ : home_;
    Json request = {{"line", text}, {"clockMs", clockMs_}};
    std::string why;
    std::optional<Json> reply;
    if (process && process->running()) reply = process->request(request, sink(host, entries), why);
    Json answer;
    int status = 200;
    bool ended = !reply || reply->value("ended", false);
    if (reply) {
      answer = {{"ok", reply->value("ok", false)},
                {"error", (*reply)["error"]},
                {"output", reply->value("output", "")}};
      if (!settings) takeHomeState(*reply);
    } else {
      answer = {{"ok", false}, {"error", nullptr}, {"output", ""}};
    }
    if (reply && reply->value("respring", false)) {
      // A respring: the home-screen process ends, a new one starts on the device as it is.
      home_->stop();
      std::string started;
      bool up = startHomeScreen(entries, why, &started);
      answer["output"] = answer["output"].get<std::string>() + started;
      if (!up) {
        answer["ok"] = false;
        answer["error"] = "the home-screen process could not start: " + why;
        status = 500;
      }
    } else if (ended) {
      std::string what = settings ? "the Settings application" : "the home-screen process";
      std::string message = reply ? answer["error"].get<std::string>() : what + " " + why;
      std::string restartProblem;
      bool restarted = settings ? startSettings(entries, restartProblem)
                                : startHomeScreen(entries, restartProblem);
      message += restarted ? "; it was started again"
                           : "; it could not be started again: " + restartProblem;
      answer["ok"] = false;
      answer["error"] = message;
      answer["restarted"] = restarted;
      status = 500;
    } else if (!answer["ok"].get<bool>()) {
      status = 422;
    }
    answer["entries"] = entries;
    return {status, answer};
  }

  // A request of the Settings host other than a line (the screen).
  std::optional<Json> settingsRequest(const Json& request, std::string& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Json> entries;
    std::optional<Json> reply;
    if (settings_ && settings_->running()) {
      reply = settings_->request(request, sink("settings", entries), why);
    }
    if (!reply) {
      startSettings(entries, why);
      why = "the Settings application ended; it was started again";
    }
    return reply;
  }

  // Work on the device's files, one at a time with the hosts' lines.
  template <typename Work>
  auto withDevice(Work work) {
    std::lock_guard<std::mutex> lock(mutex_);
    return work();
  }

  const std::string& root() const { return root_; }
  const std::string& scratch() const { return scratch_; }
  bool ringerOn() const { return homeState_.value("ringerOn", true); }
  pid_t hostPid(const std::string& host) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::unique_ptr<HostProcess>& process = host == "settings" ? settings_ : home_;
    return process ? process->pid() : -1;
  }

 private:
  HostProcess::EntrySink sink(const std::string& host, std::vector<Json>& entries) {
    // The stream has each entry with what the command prints for it; a line's answer has the
    // entry as --json prints it.
    return [this, host, &entries](const Json& entry) {
      Json tagged = entry;
      tagged["host"] = host;
      Json printed = tagged["printed"];
      tagged.erase("printed");
      Json streamed = tagged;
      streamed["printed"] = printed.is_string() ? printed : Json("");
      events_.publish(streamed);
      entries.push_back(std::move(tagged));
    };
  }

  bool startSettings(std::vector<Json>& entries, std::string& why) {
    Arguments args = {"studio-host", "settings"};
    Arguments options = settingsArguments(options_, root_);
    args.insert(args.end(), options.begin(), options.end());
    settings_ = std::make_unique<HostProcess>(program_, args);
    std::optional<Json> first = settings_->start(sink("settings", entries), why);
    if (!first) why = "the Settings application " + why;
    return first && first->value("ok", false);
  }

  // Starts a home-screen process (a launch); `output`, when given, gets what it printed.
  bool startHomeScreen(std::vector<Json>& entries, std::string& why,
                       std::string* output = nullptr) {
    Json state = homeState_;
    state["clockMs"] = clockMs_;
    home_ = std::make_unique<HostProcess>(
        program_, Arguments{"studio-host", "springboard", "--device-root", root_, "--tweak-dir",
                            sim::tweakFolder().string(), "--state", state.dump(), "--parser",
                            parser_.dump()});
    std::optional<Json> first = home_->start(sink("springboard", entries), why);
    if (!first) {
      why = "the home-screen process " + why;
      return false;
    }
    if (output != nullptr) *output = first->value("output", "");
    takeHomeState(*first);
    if (!first->value("ok", false)) why = first->value("error", Json("")).dump();
    return first->value("ok", false);
  }

  // The device state and what the scenario parser knows, as a home-screen process answered them.
  void takeHomeState(const Json& reply) {
    if (reply.contains("state")) {
      homeState_ = reply["state"];
      clockMs_ = homeState_.value("clockMs", clockMs_);
    }
    if (reply.contains("parser")) parser_ = reply["parser"];
  }

  const Options& options_;
  std::string root_;
  std::string scratch_;  // the studio's own files (pictures drawn, uploads), beside the device
  Events& events_;
  std::string program_;
  std::mutex mutex_;  // one request on the device at a time
  std::unique_ptr<HostProcess> settings_;
  std::unique_ptr<HostProcess> home_;
  Json homeState_ = Json(springboard::toJson(springboard::DeviceState{}));
  Json parser_ = Json::object();  // before the first launch: nothing known
  int64_t clockMs_ = 0;           // the studio's one clock: simulated milliseconds since it started
};

// --- the API -----------------------------------------------------------------------------------

class Api {
 public:
  Api(Device& device, Events& events, std::string token, int port)
      : device_(device), events_(events), token_(std::move(token)), port_(port) {}

  // Checks made on the headers alone, before a body is read.
  std::optional<http::Response> admit(const http::Request& request) {
    std::string host = request.header("Host");
    std::string port = ":" + std::to_string(port_);
    if (host != "127.0.0.1" + port && host != "localhost" + port) {
      return failure(403, "the Host header must be 127.0.0.1" + port + " or localhost" + port);
    }
    bool changes = request.method != "GET" && request.method != "HEAD";
    if (changes && request.hasHeader("Origin")) {
      std::string origin = request.header("Origin");
      if (origin != "http://127.0.0.1" + port && origin != "http://localhost" + port) {
        return failure(403, "requests from another origin are refused");
      }
    }
    if (request.path.rfind("/api/", 0) != 0) return std::nullopt;
    std::string given = request.header("X-Plinka-Token");
    if (given.empty()) given = cookie(request.header("Cookie"), "plinka-token");
    if (!sameSecret(given, token_)) return failure(403, "the session token is missing or wrong");
    std::string length = request.header("Content-Length");
    if (!length.empty()) {
      size_t limit = isLinePath(request.path) ? kLineBodyLimit : kUploadLimit;
      char* end = nullptr;
      unsigned long long size = std::strtoull(length.c_str(), &end, 10);
      if (end == length.c_str() || *end != '\0' || size > limit) {
        return failure(413, "the body is longer than " + std::to_string(limit) + " bytes");
      }
    }
    return std::nullopt;
  }

  http::Response handle(const http::Request& request) {
    const std::string& path = request.path;
    const std::string& method = request.method;
    if (const PageFile* file = pageFile(path)) {
      if (method != "GET") return failure(405, "GET only");
      http::Response page;
      page.contentType = pageContentType(file->path);
      page.body.assign(reinterpret_cast<const char*>(file->data), file->size);
      // Nothing the page loads or asks for leaves this server.
      page.headers = {{"Content-Security-Policy",
                       "default-src 'self'; img-src 'self' blob:; media-src 'self' blob:; "
                       "object-src 'none'; base-uri 'none'; frame-ancestors 'none'"},
                      {"X-Content-Type-Options", "nosniff"},
                      {"Cache-Control", "no-cache"}};
      return page;
    }
    if (isLinePath(path)) {
      if (method != "POST") return failure(405, "POST a line: {\"line\": TEXT}");
      if (request.body.size() > kLineBodyLimit) return failure(413, "the body is too long");
      std::string problem;
      std::optional<std::string> line = lineOfBody(request.body, problem);
      if (!line) return failure(400, problem);
      auto [status, answer] =
          device_.line(path == "/api/settings" ? "settings" : "springboard", *line);
      return json(status, answer);
    }
    if (path == "/api/events") {
      if (method != "GET") return failure(405, "GET only");
      http::Response stream;
      stream.contentType = "text/event-stream";
      stream.headers = {{"Cache-Control", "no-store"}};
      Events* events = &events_;
      stream.stream = [events](const http::StreamWrite& write) { events->stream(write); };
      return stream;
    }
    if (path == "/api/screen.png")
      return method == "GET" ? screenPicture(request) : failure(405, "GET only");
    if (path == "/api/screen") return method == "GET" ? screen() : failure(405, "GET only");
    if (path == "/api/sound") return method == "GET" ? sound(request) : failure(405, "GET only");
    if (path == "/api/sounds") return method == "GET" ? sounds() : failure(405, "GET only");
    if (path == "/api/sounds/import") {
      return method == "POST" ? importSound(request) : failure(405, "POST the file");
    }
    if (path == "/api/library") {
      if (method == "GET") return json(200, {{"items", device_.withDevice(libraryItems)}});
      if (method == "POST") return addItem(request);
      return failure(405, "GET or POST");
    }
    if (path == "/api/library/thumbnail") {
      return method == "GET" ? thumbnail(request) : failure(405, "GET only");
    }
    return failure(404, "no such endpoint: " + path);
  }

 private:
  static bool isLinePath(const std::string& path) {
    return path == "/api/settings" || path == "/api/springboard";
  }

  http::Response screenPicture(const http::Request& request) {
    std::string scale = request.hasParam("scale") ? request.param("scale") : "2";
    if (scale != "1" && scale != "2" && scale != "3") return failure(400, "scale is 1, 2 or 3");
    std::string appearance = request.hasParam("appearance") ? request.param("appearance") : "light";
    if (appearance != "light" && appearance != "dark") {
      return failure(400, "appearance is light or dark");
    }
    std::string file = device_.scratch() + "/screen.png";
    std::string why;
    std::optional<Json> reply = device_.settingsRequest(
        {{"screen", file}, {"scale", std::stoi(scale)}, {"appearance", appearance}}, why);
    if (!reply) return failure(500, why);
    if (!reply->value("ok", false)) return failure(500, reply->value("error", Json("")).dump());
    std::ifstream in(file, std::ios::binary);
    http::Response picture;
    picture.contentType = "image/png";
    picture.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    picture.headers = {{"Cache-Control", "no-store"}};
    return picture;
  }

  http::Response screen() {
    std::string why;
    std::optional<Json> reply = device_.settingsRequest({{"frames", true}}, why);
    if (!reply) return failure(500, why);
    Json answer = *reply;
    for (const char* field : {"ok", "error", "output"}) answer.erase(field);
    return json(200, answer);
  }

  http::Response sound(const http::Request& request) {
    if (!request.hasParam("path")) return failure(400, "path is the sound's device path");
    return device_.withDevice([&]() -> http::Response {
      Refusal refusal;
      std::optional<std::string> host = soundHostPath(request.param("path"), refusal);
      if (!host) return failure(refusal.status, refusal.message);
      std::string tag = fileTag(*host);
      if (!tag.empty() && request.header("If-None-Match") == tag) {
        http::Response same;
        same.status = 304;
        same.contentType = "audio/wav";
        same.headers = {{"ETag", tag}};
        return same;
      }
      std::string problem;
      std::optional<std::string> wav = soundAsWav(*host, problem);
      if (!wav) return failure(422, "not audio: " + problem);
      http::Response answer;
      answer.contentType = "audio/wav";
      answer.body = std::move(*wav);
      answer.headers = {{"ETag", tag}, {"Cache-Control", "no-cache"}};
      return answer;
    });
  }

  http::Response sounds() {
    return device_.withDevice([&]() {
      ns::AutoreleasePool pool;
      ::sounds::DeviceCheck check = ::sounds::checkDevice(device_.ringerOn());
      Json lines = Json::array();
      std::string text = ::sounds::describeJson(check);
      size_t at = 0;
      while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        if (end > at) lines.push_back(Json::parse(text.substr(at, end - at)));
        at = end + 1;
      }
      return json(200, {{"allPlay", check.allPlay()}, {"checks", lines}});
    });
  }

  http::Response importSound(const http::Request& request) {
    std::string eventName = request.param("event");
    const SoundEventFile* event = nullptr;
    for (const SoundEventFile& candidate : kSoundEventFiles) {
      if (strcasecmp(candidate.event, eventName.c_str()) == 0) event = &candidate;
    }
    if (event == nullptr) return failure(400, "no event '" + eventName + "'");
    if (request.param("name").empty()) return failure(400, "name is the sound's file name");
    if (request.body.empty()) return failure(400, "the body is the sound file");
    return device_.withDevice([&]() -> http::Response {
      std::string upload = device_.scratch() + "/upload";
      {
        std::ofstream out(upload, std::ios::binary | std::ios::trunc);
        out.write(request.body.data(), static_cast<std::streamsize>(request.body.size()));
        if (!out) return failure(500, "cannot keep the upload");
      }
      ::sounds::ImportRequest import;
      import.event = event;
      import.sourcePath = upload;
      import.name = request.param("name");
      import.force = request.param("force") == "1";
      std::string problem;
      bool badInput = false;
      ns::AutoreleasePool pool;
      std::optional<::sounds::ImportResult> done = ::sounds::importSound(import, problem, badInput);
      std::error_code ignored;
      fs::remove(upload, ignored);
      if (!done) {
        bool exists = problem.find("exists") != std::string::npos;
        return failure(exists ? 409 : badInput ? 422 : 500, problem);
      }
      return json(200, {{"event", event->event},
                        {"path", done->devicePath},
                        {"name", done->name},
                        {"key", event->nameKey},
                        {"source", done->source.summary()},
                        {"written", done->written.summary()},
                        {"trimmed", done->trimmed},
                        {"switchOn", done->switchOn},
                        {"masterOn", done->masterOn}});
    });
  }

  http::Response thumbnail(const http::Request& request) {
    return device_.withDevice([&]() -> http::Response {
      Refusal refusal;
      std::optional<std::string> png = libraryThumbnail(request.param("item"), refusal);
      if (!png) return failure(refusal.status, refusal.message);
      http::Response picture;
      picture.contentType = "image/png";
      picture.body = std::move(*png);
      return picture;
    });
  }

  http::Response addItem(const http::Request& request) {
    if (request.body.empty()) return failure(400, "the body is the picture or video");
    return device_.withDevice([&]() -> http::Response {
      Refusal refusal;
      std::optional<std::string> name = addToLibrary(request.param("ext"), request.body, refusal);
      if (!name) return failure(refusal.status, refusal.message);
      return json(200, {{"item", *name}});
    });
  }

  Device& device_;
  Events& events_;
  std::string token_;
  int port_;
};

bool parseOptions(const Arguments& args, Options& options, std::string& problem) {
  std::string port;
  sim::OptionParser parser;
  parser.value("--device-root", options.deviceRoot, "--device-root needs a value")
      .value("--port", port, "--port needs a value",
             [](const std::string& text) {
               char* end = nullptr;
               long number = std::strtol(text.c_str(), &end, 10);
               bool good = !text.empty() && *end == '\0' && number >= 0 && number <= 65535;
               return good ? std::string() : "--port takes 0 to 65535, not '" + text + "'";
             })
      .value("--pane", options.pane, "--pane needs a value")
      .value("--system-version", options.systemVersion, "--system-version needs a value")
      .value("--machine", options.machine, "--machine needs a value")
      .unknown("unknown argument %s");
  if (!parser.parse(args, problem)) return false;
  if (!port.empty()) options.port = std::stoi(port);
  // The Settings application's options are checked as the settings command checks them.
  settings_sim::Options settings;
  std::string unused;
  Arguments withScript = settingsArguments(options, options.deviceRoot);
  withScript.push_back("-");
  return settings_sim::parseOptions(withScript, settings, problem, unused);
}

}  // namespace
}  // namespace studio

std::string studioHelp() {
  return "usage: plinka-sim studio [--device-root DIR] [--port N] [--pane NAME]\n"
         "                         [--system-version V] [--machine ID]\n"
         "\n"
         "Starts one simulated device with its Settings application and its home screen (the\n"
         "tweak loaded), each in a process of its own, behind a web server on 127.0.0.1. The\n"
         "first line printed is 'Plinka studio: URL'; open the URL (it carries the session's\n"
         "token) in a browser on this machine. The API is in docs/studio.md. Interrupt\n"
         "(Ctrl-C) or terminate it to stop: the hosts end and a temporary device is removed.\n"
         "\n"
         "options:\n"
         "  --device-root DIR     the folder that stands for the device's /; default: a fresh\n"
         "                        temporary copy of the example device, removed on exit\n"
         "  --port N              the port (default 8040; 0 takes a free one)\n"
         "  --pane NAME           which pane installed on the device the Settings application\n"
         "                        opens, by its entry's label or file name (as plinka-sim\n"
         "                        settings --pane); needed when several are installed\n"
         "  --system-version V    the iOS version the Settings application runs (default 14.4)\n"
         "  --machine ID          the device model whose screen is drawn (default iPhone13,4)\n"
         "\n"
         "exit status: 0 stopped by a signal; 1 could not start; 2 bad arguments.\n";
}

int studioCommand(const Arguments& args) {
  using namespace studio;
  Options options;
  std::string problem;
  if (!parseOptions(args, options, problem)) return sim::argumentError(kName, problem);

  sim::TemporaryDevice temporary;
  if (options.deviceRoot.empty()) {
    if (!temporary.make(problem)) return sim::runtimeError(kName, problem);
    options.deviceRoot = temporary.path().string();
  } else if (!fs::is_directory(options.deviceRoot)) {
    return sim::runtimeError(kName, "the device root " + options.deviceRoot + " is not a folder",
                             2);
  }
  std::string root = fs::canonical(options.deviceRoot).string();
  device::setRoot(root);

  // Before any thread starts: the stop signals are taken by one thread that waits for them, and
  // a write to a client or host that has gone answers an error instead of ending the studio.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Events events;
  Device device(options, root, events);
  if (!device.start(problem)) {
    device.stop();
    return sim::runtimeError(kName, problem);
  }
  std::string token = newToken();
  int port = -1;
  std::unique_ptr<Api> api;
  http::ServerOptions serving;
  serving.threads = kServingThreads;
  serving.maxBody = kUploadLimit;
  serving.errorBody = [](int status) {
    return Json{{"error", status == 413 ? "the body is too long"
                                        : "request refused (" + std::to_string(status) + ")"}}
        .dump();
  };
  http::Server server(
      serving, [&api](const http::Request& r) { return api->admit(r); },
      [&api](const http::Request& r) { return api->handle(r); });
  port = server.bind(options.port, problem);
  if (port < 0) {
    device.stop();
    return sim::runtimeError(kName, problem);
  }
  api = std::make_unique<Api>(device, events, token, port);
  std::printf("Plinka studio: http://127.0.0.1:%d/#token=%s\n", port, token.c_str());
  std::fflush(stdout);

  std::thread watcher([&] {
    int received = 0;
    sigwait(&stopSignals, &received);
    std::fprintf(stderr, "plinka-sim studio: stopping (%s)\n", strsignal(received));
    events.close();
    server.stop();
  });
  bool served = server.serve();
  if (!served) {
    // The watcher is still waiting: wake it with a signal of its own.
    pthread_kill(watcher.native_handle(), SIGTERM);
  }
  watcher.join();
  events.close();
  device.stop();
  if (!served) return sim::runtimeError(kName, "serving stopped unexpectedly");
  return 0;
}
