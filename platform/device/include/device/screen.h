// The simulated device's screen.
#pragma once

namespace device {

// The main screen's scale (points to pixels): 3 on the larger iPhones, 2 on the others. The
// simulated device is an iPhone 12 Pro Max, so 3 unless the host says otherwise.
double screenScale();
void setScreenScale(double scale);

}  // namespace device
