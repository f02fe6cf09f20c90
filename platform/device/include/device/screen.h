// The simulated device's screen.
#pragma once

#include <string>
#include <vector>

namespace device {

// The main screen's scale (points to pixels): 3 on the larger iPhones, 2 on the others. The
// simulated device is an iPhone 12 Pro Max, so 3 unless the host says otherwise.
double screenScale();
void setScreenScale(double scale);

// A model's screen in portrait, as UIScreen's bounds and scale answer on it.
struct ScreenModel {
  const char* machine;  // the hardware identifier ("iPhone13,4")
  double width;         // points
  double height;        // points
  double scale;         // pixels per point
};

// The screen of the model `machine` names; null for a model the table does not know.
const ScreenModel* screenOfMachine(const std::string& machine);
// Every model the table knows, in its order.
std::vector<std::string> knownScreenMachines();

}  // namespace device
