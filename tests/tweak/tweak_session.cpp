#include "tweak_session.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "build_paths.h"
#include "tones.h"

namespace tweak_test {

namespace fs = std::filesystem;

namespace {

const char* const kEvents[] = {"Charge",   "Keyboard", "Lock",  "Passcode",
                               "Respring", "Unlock",   "Volume"};

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

TestDevice::TestDevice() {
  tones::Sound beep{{{0.0, 880.0, 0.05, 0.5}}};
  for (const char* event : kEvents) {
    fs::path folder = fs::path(root_) / "var/LIY/PreferenceBundles/Plinka3.bundle" / event;
    fs::create_directories(folder);
    std::string error;
    if (!tones::write((folder / (lower(event) + ".wav")).string(), beep, error)) {
      throw std::runtime_error(error);
    }
  }
}

void TestDevice::writeFile(const std::string& devicePath, const std::string& bytes) const {
  fs::path path = hostPath(devicePath);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string TestDevice::readFile(const std::string& devicePath) const {
  std::ifstream in(hostPath(devicePath), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string everythingOn() {
  std::string lines = "pref kEnabledPK true\n";
  for (const char* event : kEvents) {
    lines += std::string("pref kCustom") + event + " true\n";
    lines += std::string("pref k") + event + "Sound \"" + lower(event) + ".wav\"\n";
  }
  return lines;
}

std::vector<journal::Entry> Run::ofKind(const std::string& kind) const {
  std::vector<journal::Entry> found;
  for (const auto& e : journal) {
    if (e["kind"] == kind) found.push_back(e);
  }
  return found;
}

std::vector<std::string> Run::heard() const {
  std::vector<std::string> sounds;
  for (const auto& e : ofKind("sound-play")) {
    if (e.value("silent", false)) continue;
    if (e.contains("path")) {
      std::string path = e["path"];
      const std::string bundle = "/var/LIY/PreferenceBundles/Plinka3.bundle/";
      size_t slashes = path.find("////");
      sounds.push_back(path.rfind(bundle, 0) == 0 && slashes != std::string::npos
                           ? path.substr(bundle.size(), slashes - bundle.size())
                           : path);
    } else {
      sounds.push_back(e["id"].dump());
    }
  }
  return sounds;
}

std::vector<std::string> Run::stock() const {
  std::vector<std::string> ran;
  for (const auto& e : ofKind("stock")) {
    ran.push_back("-[" + e["class"].get<std::string>() + " " + e["selector"].get<std::string>() +
                  "]");
  }
  return ran;
}

std::vector<std::string> Run::kinds() const {
  std::vector<std::string> all;
  for (const auto& e : journal) all.push_back(e["kind"]);
  return all;
}

Run Run::after(const std::string& kind) const {
  Run rest;
  rest.status = status;
  rest.error = error;
  size_t start = 0;
  for (size_t i = 0; i < journal.size(); ++i) {
    if (journal[i]["kind"] == kind) start = i + 1;
  }
  rest.journal.assign(journal.begin() + static_cast<long>(start), journal.end());
  return rest;
}

Run run(const std::string& scenario, const TestDevice& device) {
  std::istringstream in(scenario);
  std::string error;
  auto parsed = springboard::parseScenario(in, "test.scenario", error);
  Run result;
  if (!parsed) {
    ADD_FAILURE() << error;
    result.status = 2;
    result.error = error;
    return result;
  }
  springboard::SessionResult session =
      springboard::runSession(*parsed, {device.root(), PLINKA_TEST_TWEAK_DIR});
  result.journal = std::move(session.journal);
  result.status = session.exitStatus;
  result.error = session.error;
  EXPECT_EQ(result.status, 0) << result.error;
  return result;
}

}  // namespace tweak_test
