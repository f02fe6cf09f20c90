// Where this build's files are: the source tree, the build folder and the programs, libraries
// and folders it makes. The values live in one generated source file (build_paths.cpp in the
// build folder) rather than on every compile command, so that a compiler cache serves a fresh
// clone in another folder: only that one file differs between two clones.
#pragma once

namespace plinka_build {

extern const char* const kSourceDir;      // the checkout
extern const char* const kBuildDir;       // the build folder
extern const char* const kSim;            // bin/plinka-sim
extern const char* const kExampleDevice;  // examples/device: the example device's root
extern const char* const kTweakDir;       // DynamicLibraries: Plinka3.so and its filter
extern const char* const kMakeTones;      // the build's generators
extern const char* const kMakeLibrary;
extern const char* const kMakeIcons;
extern const char* const kTestPaneRoot;  // the test pane's device root; empty without tests

}  // namespace plinka_build

#define PLINKA_SOURCE_DIR (::plinka_build::kSourceDir)
#define PLINKA_BUILD_DIR (::plinka_build::kBuildDir)
#define PLINKA_SIM (::plinka_build::kSim)
#define PLINKA_EXAMPLE_DEVICE (::plinka_build::kExampleDevice)
#define PLINKA_TEST_TWEAK_DIR (::plinka_build::kTweakDir)
#define PLINKA_MAKE_TONES (::plinka_build::kMakeTones)
#define PLINKA_MAKE_LIBRARY (::plinka_build::kMakeLibrary)
#define PLINKA_MAKE_ICONS (::plinka_build::kMakeIcons)
#define PLINKA_TEST_PANE_ROOT (::plinka_build::kTestPaneRoot)
