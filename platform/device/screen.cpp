#include "device/screen.h"

namespace device {
namespace {

double& scale() {
  static double value = 3.0;
  return value;
}

}  // namespace

double screenScale() {
  return scale();
}
void setScreenScale(double value) {
  scale() = value;
}

}  // namespace device
