// The tweak's dynamic exports are part of the product: exactly the two entry points under their
// C++ names and the seven sound slots under plain names.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "build_paths.h"

namespace {

std::map<std::string, char> definedDynamicSymbols(const std::string& library) {
  std::map<std::string, char> symbols;
  std::string command = "nm -D --defined-only '" + library + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) symbols[name] = type[0];
  }
  pclose(pipe);
  return symbols;
}

TEST(TweakExports, AreTheEntryPointsAndTheSevenSoundSlotsOnly) {
  auto symbols = definedDynamicSymbols(std::string(PLINKA_TEST_TWEAK_DIR) + "/Plinka3.so");
  std::map<std::string, char> expected = {
      {"_Z11PKLoadPrefsv", 'T'}, {"_Z11PKLoadTweakv", 'T'}, {"chargeSound", 'B'},
      {"keyboardSound", 'B'},    {"lockSound", 'B'},        {"passcodeSound", 'B'},
      {"respringSound", 'B'},    {"unlockSound", 'B'},      {"volumeSound", 'B'},
  };
  EXPECT_EQ(symbols, expected);
}

}  // namespace
