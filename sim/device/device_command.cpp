// plinka-sim device [--device-root DIR] [--machine ID] [--system-version V] [--mounts FILE]
//                   [--json] [compare VERSION]
//
// Asks libpkprefs3's ZELDeviceUtils through the runtime, exactly as the settings pane does.
#include <Foundation/Foundation.h>
#include <device/device.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "help.h"
#include "options.h"

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

int bad(const char* command, const std::string& message) {
  return sim::argumentError(command, message);
}

void printLine(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
}

const char* yesNo(bool value) {
  return value ? "yes" : "no";
}

// Runs `work` with the process's standard output going to a scratch file; answers what it
// wrote there, or nothing when the output could not be redirected.
std::optional<std::string> capturingStandardOutput(const std::function<void()>& work) {
  std::fflush(stdout);
  FILE* scratch = std::tmpfile();
  int saved = dup(STDOUT_FILENO);
  if (scratch == nullptr || saved < 0 || dup2(fileno(scratch), STDOUT_FILENO) < 0) {
    if (scratch != nullptr) std::fclose(scratch);
    if (saved >= 0) close(saved);
    return std::nullopt;
  }
  work();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string text;
  std::rewind(scratch);
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, scratch)) > 0;) text.append(buffer, n);
  std::fclose(scratch);
  return text;
}

}  // namespace

std::string deviceHelp() {
  return "usage: plinka-sim device [--device-root DIR] [--machine ID] [--system-version V]\n"
         "                         [--mounts FILE] [--json] [compare VERSION]\n"
         "\n"
         "Asks ZELDeviceUtils about the simulated device: its hardware identifier, marketing\n"
         "name, jailbreak and whether a union mount is present; with compare, the four\n"
         "comparisons of the running iOS version against VERSION (free text: the comparison is\n"
         "what is under test).\n"
         "\n"
         "options:\n"
         "  --device-root DIR     where the jailbreak's marker files are looked for (default /)\n"
         "  --machine ID          the hardware identifier (default iPhone13,4)\n"
         "  --system-version V    the running iOS version: dot-separated numbers, optionally a\n"
         "                        suffix (13.0b2); default 14.4\n"
         "  --mounts FILE         the mount table, in /proc/mounts format (default: this\n"
         "                        machine's); an empty file is an empty table\n"
         "  --json                JSON lines only: what the library prints becomes an entry\n"
         "                        {\"kind\":\"stdout\",\"text\":...}; the answer is the last line\n"
         "\n"
         "exit status: 0 done; 1 failed while running; 2 bad arguments.\n";
}

int deviceCommand(const Arguments& args) {
  constexpr const char* kName = "device";
  bool json = false;
  std::string deviceRoot;
  std::string machine;
  std::string systemVersion;
  std::string mounts;
  std::string compare;
  bool comparing = false;
  sim::OptionParser parser;
  parser.flag("--json", json)
      .value("--device-root", deviceRoot, "--device-root needs a folder")
      .value("--machine", machine, "--machine needs an identifier")
      .value("--system-version", systemVersion, "--system-version needs a version",
             [](const std::string& version) {
               return sim::isSystemVersion(version)
                          ? std::string()
                          : "--system-version takes a version such as 14.4 or 13.0b2, not '" +
                                version + "'";
             })
      .value("--mounts", mounts, "--mounts needs a file")
      .value("compare", compare, "compare needs a version",
             [&comparing](const std::string&) {
               comparing = true;
               return std::string();
             })
      .unknown("unexpected argument '%s'");
  std::string problem;
  if (!parser.parse(args, problem)) return bad(kName, problem);
  if (!deviceRoot.empty()) {
    if (!fs::is_directory(deviceRoot)) {
      return sim::runtimeError(kName, "the device root '" + deviceRoot + "' is not a folder", 2);
    }
    device::setRoot(deviceRoot);
  }
  if (!machine.empty()) device::setMachine(machine);
  if (!systemVersion.empty()) device::setSystemVersion(systemVersion);
  if (!mounts.empty()) {
    if (!std::ifstream(mounts) || fs::is_directory(mounts)) {
      return sim::runtimeError(kName, "cannot read the mount table '" + mounts + "'", 2);
    }
    device::setMountTable(mounts);
  }
  std::optional<std::string> compareWith;
  if (comparing) compareWith = compare;

  ns::AutoreleasePool pool;
  id utils = cls("ZELDeviceUtils");
  if (utils == nil) {
    return sim::runtimeError(kName, "ZELDeviceUtils is not registered");
  }
  if (compareWith) {
    id version = ns::string(*compareWith);
    bool ge = send<BOOL>(utils, "isSystemVersionGreaterThanOrEqualTo:", version);
    bool le = send<BOOL>(utils, "isSystemVersionLessThanOrEqualTo:", version);
    bool gt = send<BOOL>(utils, "isSystemVersionGreaterThan:", version);
    bool lt = send<BOOL>(utils, "isSystemVersionLessThan:", version);
    if (json) {
      printLine(Json{{"ge", ge}, {"le", le}, {"gt", gt}, {"lt", lt}}.dump());
    } else {
      const std::string& running = device::systemVersion();
      printLine(running + " >= " + *compareWith + ": " + yesNo(ge));
      printLine(running + " <= " + *compareWith + ": " + yesNo(le));
      printLine(running + " > " + *compareWith + ": " + yesNo(gt));
      printLine(running + " < " + *compareWith + ": " + yesNo(lt));
    }
    return 0;
  }
  std::string code;
  std::string model;
  std::string jailbreak;
  bool checkra1n = false;
  auto ask = [&] {
    code = ns::utf8(send(utils, "getDeviceCode"));
    model = ns::utf8(send(utils, "getDeviceModel"));
    jailbreak = ns::utf8(send(utils, "getJailbreakName"));
    checkra1n = send<BOOL>(utils, "detectCheckra1n");
  };
  if (json) {
    // Standard output holds JSON only: what the library prints there becomes journal entries.
    std::optional<std::string> printed = capturingStandardOutput(ask);
    if (!printed) return sim::runtimeError(kName, "cannot capture standard output");
    std::istringstream lines(*printed);
    for (std::string line; std::getline(lines, line);) {
      printLine(Json{{"kind", "stdout"}, {"text", line}}.dump());
    }
    printLine(
        Json{{"code", code}, {"model", model}, {"jailbreak", jailbreak}, {"checkra1n", checkra1n}}
            .dump());
  } else {
    ask();
    printLine("device code: " + code);
    printLine("model: " + model);
    printLine("jailbreak: " + jailbreak);
    printLine(std::string("union mount (checkra1n): ") + yesNo(checkra1n));
  }
  return 0;
}
