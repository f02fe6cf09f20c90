#include <UIKit/UIApplication.h>
#include <UIKit/UIViewController.h>
#include <device/device.h>
#include <device/journal.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace uikit {
namespace {

namespace fs = std::filesystem;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The `*.app` folders directly in `folder`, in name order.
std::vector<fs::path> appsIn(const fs::path& folder) {
  std::vector<fs::path> apps;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().extension() == ".app" && it->is_directory(error)) apps.push_back(it->path());
  }
  std::sort(apps.begin(), apps.end());
  return apps;
}

std::vector<fs::path> installedApps() {
  std::vector<fs::path> apps = appsIn(device::hostPath("/Applications"));
  std::vector<fs::path> containers;
  std::error_code error;
  for (fs::directory_iterator it(device::hostPath("/var/containers/Bundle/Application"), error),
       end;
       !error && it != end; it.increment(error)) {
    if (it->is_directory(error)) containers.push_back(it->path());
  }
  std::sort(containers.begin(), containers.end());
  for (const fs::path& container : containers) {
    for (fs::path& app : appsIn(container)) apps.push_back(std::move(app));
  }
  return apps;
}

void addSchemes(id info, std::vector<std::string>& schemes) {
  id types = ns::valueFor(info, "CFBundleURLTypes");
  if (types == nil || !ns::isKindOf(types, "NSArray")) return;
  for (id type : ns::elements(types)) {
    if (!ns::isKindOf(type, "NSDictionary")) continue;
    id names = ns::valueFor(type, "CFBundleURLSchemes");
    if (names == nil || !ns::isKindOf(names, "NSArray")) continue;
    for (id name : ns::elements(names)) {
      if (ns::isKindOf(name, "NSString")) schemes.push_back(lower(ns::utf8(name)));
    }
  }
}

std::string schemeOf(id url) {
  return lower(ns::utf8(msgSend(url, sel("scheme"))));
}

bool opens(const std::string& scheme) {
  if (scheme.empty()) return false;
  if (scheme == "http" || scheme == "https") return true;
  std::vector<std::string> schemes = installedURLSchemes();
  return std::find(schemes.begin(), schemes.end(), scheme) != schemes.end();
}

nlohmann::ordered_json urlJson(id url) {
  return url == nil ? nlohmann::ordered_json()
                    : nlohmann::ordered_json(ns::utf8(msgSend(url, sel("absoluteString"))));
}

id sharedApplication(id self, SEL) {
  static id shared = ns::makeImmortal(msgSend(self, sel("new")));
  return shared;
}

BOOL canOpenURL(id, SEL, id url) {
  bool answer = url != nil && opens(schemeOf(url));
  journal::record("can-open", {{"url", urlJson(url)}, {"answer", answer}});
  return answer ? YES : NO;
}

void openURL(id, SEL, id url, id, id) {
  journal::record("open-url", {{"url", urlJson(url)}});
}

void addMethod(Class cls, const char* selector, auto implementation) {
  class_addMethod(cls, sel(selector), reinterpret_cast<IMP>(implementation),
                  typeEncodingOf(implementation).c_str());
}

__attribute__((constructor)) void loadApplicationClass() {
  registerApplicationClass();
}

}  // namespace

std::vector<std::string> installedURLSchemes() {
  std::vector<std::string> schemes;
  for (const fs::path& app : installedApps()) {
    ns::AutoreleasePool pool;
    id info = ns::readPlist((app / "Info.plist").string());
    if (info != nil && ns::isKindOf(info, "NSDictionary")) addSchemes(info, schemes);
  }
  return schemes;
}

void registerApplicationClass() {
  static const bool done = [] {
    registerViewControllerClasses();  // UIResponder
    Class application = objc_getClass("UIApplication");
    if (application == Nil) {
      application = ClassBuilder("UIApplication", objc_getClass("UIResponder")).register_();
    }
    class_addMethod(object_getClass(asId(application)), sel("sharedApplication"),
                    reinterpret_cast<IMP>(sharedApplication),
                    typeEncodingOf(sharedApplication).c_str());
    addMethod(application, "canOpenURL:", canOpenURL);
    addMethod(application, "openURL:options:completionHandler:", openURL);
    return true;
  }();
  (void)done;
}

}  // namespace uikit
