// Facts of the product shared by the tweak and the settings pane's library, which never link
// each other. Part of the portability layer: plain constants that a device build compiles
// unchanged.
#pragma once

// The product's bundle on the device: the settings pane's images and, one folder per event,
// the user's sound files.
constexpr const char* BundleRoot = "/var/LIY/PreferenceBundles/Plinka3.bundle";
