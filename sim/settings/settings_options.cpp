#include "settings_options.h"

#include <device/screen.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>

#include "help.h"
#include "options.h"

namespace settings_sim {

namespace fs = std::filesystem;

namespace {

// A whole number of 0 or more, in decimal; nothing for anything else.
std::optional<uint64_t> readCount(const std::string& text) {
  uint64_t number = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return number;
}

// A count of orders: 1 or more.
sim::OptionParser::Check countCheck(const char* name) {
  return [name](const std::string& value) {
    std::optional<uint64_t> count = readCount(value);
    return count && *count > 0
               ? std::string()
               : std::string(name) + " takes a number of orders (1 or more), not '" + value + "'";
  };
}

}  // namespace

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& problem,
                  std::string& outputProblem) {
  std::vector<std::string> scripts;
  std::string appearance = "light";
  std::string maxOrders, sample, seed;
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
      .value("--appearance", appearance, "--appearance needs a value",
             [](const std::string& value) {
               return value == "light" || value == "dark"
                          ? std::string()
                          : "--appearance takes light or dark, not '" + value + "'";
             })
      .output("--png", options.png, "--png needs a file")
      .value("--rows", options.rows, "--rows needs a value")
      .value("--pane", options.pane, "--pane needs a value")
      .flag("--json", options.json)
      .flag("--explore", options.explore)
      .flag("--kill-points", options.killPoints)
      .value("--max-orders", maxOrders, "--max-orders needs a number", countCheck("--max-orders"))
      .value("--sample", sample, "--sample needs a number", countCheck("--sample"))
      .value("--seed", seed, "--seed needs a number",
             [](const std::string& value) {
               return readCount(value) ? std::string()
                                       : "--seed takes a whole number, not '" + value + "'";
             })
      .operands(scripts, 0, 1, "", "one script only (%1, then %s)");
  if (!parser.parse(args, problem)) return false;
  options.appearance = appearance == "dark" ? Appearance::Dark : Appearance::Light;
  if (!maxOrders.empty()) options.maxOrders = *readCount(maxOrders);
  if (!sample.empty()) options.sample = *readCount(sample);
  if (!seed.empty()) options.seed = *readCount(seed);
  if (options.explore && options.killPoints) {
    problem = "--explore and --kill-points exclude each other";
    return false;
  }
  if ((!maxOrders.empty() || !sample.empty() || !seed.empty()) && !options.explore) {
    problem = "--max-orders, --sample and --seed go with --explore";
    return false;
  }
  if (!seed.empty() && sample.empty()) {
    problem = "--seed goes with --sample";
    return false;
  }
  if ((options.explore || options.killPoints) && (options.json || !options.png.empty())) {
    problem = std::string(options.explore ? "--explore" : "--kill-points") +
              " prints no journal and draws no picture (no --json, no --png)";
    return false;
  }
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
