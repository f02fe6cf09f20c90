// The files +[UIImage imageNamed:inBundle:] looks for.
#include <UIKit/UIImage.h>

#include <cmath>

namespace uikit {

std::string imageAssetBaseName(const std::string& name) {
  constexpr std::string_view kPng = ".png";
  return name.size() > kPng.size() && name.ends_with(kPng)
             ? name.substr(0, name.size() - kPng.size())
             : name;
}

std::vector<std::string> imageFileCandidates(const std::string& name, double screenScale) {
  std::string base = imageAssetBaseName(name);
  int own = static_cast<int>(std::lround(std::isfinite(screenScale) ? screenScale : 1.0));
  own = own < 1 ? 1 : own > 3 ? 3 : own;
  std::vector<int> order = {own};
  for (int scale = 3; scale > own; --scale) order.push_back(scale);
  for (int scale = own - 1; scale >= 1; --scale) order.push_back(scale);
  std::vector<std::string> files;
  for (int scale : order) {
    files.push_back(base + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".png");
  }
  return files;
}

}  // namespace uikit
