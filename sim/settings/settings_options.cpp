#include "settings_options.h"

#include <device/screen.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "help.h"
#include "options.h"

namespace settings_sim {

namespace fs = std::filesystem;

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& problem,
                  std::string& outputProblem) {
  std::vector<std::string> scripts;
  sim::OptionParser parser;
  parser.value("--device-root", options.deviceRoot, "--device-root needs a value")
      .value("--system-version", options.systemVersion, "--system-version needs a value",
             [](const std::string& version) {
               return sim::isSystemVersion(version)
                          ? std::string()
                          : "--system-version takes a version such as 14.4 or 13.0b2, not '" +
                                version + "'";
             })
      .value("--machine", options.machine, "--machine needs a value",
             [](const std::string& machine) {
               if (device::screenOfMachine(machine) != nullptr) return std::string();
               std::string known;
               for (const std::string& name : device::knownScreenMachines())
                 known += (known.empty() ? "" : ", ") + name;
               return "no screen known for machine " + machine + " (known: " + known + ")";
             })
      .output("--png", options.png, "--png needs a file")
      .value("--rows", options.rows, "--rows needs a value")
      .value("--pane", options.pane, "--pane needs a value")
      .flag("--json", options.json)
      .operands(scripts, 0, 1, "", "one script only (%1, then %s)");
  if (!parser.parse(args, problem)) return false;
  if (!options.rows.empty() && !options.pane.empty()) {
    problem = "--rows and --pane exclude each other";
    return false;
  }
  if (scripts.empty()) {
    problem = "no script (a file, or - for standard input)";
    return false;
  }
  options.script = scripts[0];
  sim::checkOutputs(parser.outputs(), outputProblem);
  return true;
}

bool readScript(const std::string& name, std::string& text) {
  if (name == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::error_code error;
  if (fs::is_directory(name, error)) return false;
  std::ifstream file(name, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace settings_sim
