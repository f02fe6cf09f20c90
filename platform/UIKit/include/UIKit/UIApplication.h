// UIApplication: opening URLs, as the product's cells use it.
//
// Mirrors: +sharedApplication, -canOpenURL:, -openURL:options:completionHandler:.
//
// Faithful: what can be opened is decided as the device decides it, by the apps installed on
// the simulated device: every `*.app` bundle under the device root's /Applications/ and
// /var/containers/Bundle/Application/*/ whose Info.plist lists the URL's scheme under
// CFBundleURLTypes -> CFBundleURLSchemes (schemes compare without regard to case); http and
// https always open, in the browser. An app whose Info.plist is missing or malformed takes no
// scheme. The apps are looked at afresh on every call. openURL:options:completionHandler:
// returns at once and never blocks; the system opens the URL later.
// Simplified: nothing is launched; a completion handler is never run; +sharedApplication
// answers one UIApplication made on first use (a host that made its own application class
// keeps it, and the methods are added to it).
//
// Journal:
//   "can-open" {url, answer}   canOpenURL: (url as its absoluteString; null for nil)
//   "open-url" {url}           openURL:options:completionHandler: (null for nil: the product
//                              handed the system no URL)
#pragma once

#include <Foundation/Foundation.h>

#include <string>
#include <vector>

namespace uikit {

// The URL schemes the apps installed on the simulated device declare, lower-cased, in the
// order found.
std::vector<std::string> installedURLSchemes();

// Registers UIApplication's URL methods (idempotent; done when this library loads).
void registerApplicationClass();

}  // namespace uikit
