#include "device/screen.h"

namespace device {
namespace {

double& scale() {
  static double value = 3.0;
  return value;
}

// UIScreen's portrait bounds and scale per model (Apple's device screen sizes; the 12 mini
// answers 375 x 812 at scale 3, its native scale being 2.88).
constexpr ScreenModel kScreens[] = {
    {"iPhone13,4", 428, 926, 3}, {"iPhone13,3", 390, 844, 3}, {"iPhone13,2", 390, 844, 3},
    {"iPhone13,1", 375, 812, 3}, {"iPhone12,5", 414, 896, 3}, {"iPhone12,3", 375, 812, 3},
    {"iPhone12,1", 414, 896, 2}, {"iPhone11,8", 414, 896, 2}, {"iPhone11,6", 414, 896, 3},
    {"iPhone11,4", 414, 896, 3}, {"iPhone11,2", 375, 812, 3}, {"iPhone10,6", 375, 812, 3},
    {"iPhone10,3", 375, 812, 3},
};

}  // namespace

double screenScale() {
  return scale();
}
void setScreenScale(double value) {
  scale() = value;
}

const ScreenModel* screenOfMachine(const std::string& machine) {
  for (const ScreenModel& screen : kScreens) {
    if (machine == screen.machine) return &screen;
  }
  return nullptr;
}

std::vector<std::string> knownScreenMachines() {
  std::vector<std::string> machines;
  for (const ScreenModel& screen : kScreens) machines.emplace_back(screen.machine);
  return machines;
}

}  // namespace device
