// +[ZELColor randomColor] over a scripted random source: this program's own arc4random takes
// the place of the C library's for every caller in the process, the settings library included.
#include <CoreGraphics/CoreGraphics.h>
#include <gtest/gtest.h>
#include <pkprefs3/ZELColor.h>

#include <cstdint>
#include <deque>
#include <vector>

namespace {
std::deque<uint32_t> scripted;
}

extern "C" uint32_t arc4random(void) {
  if (scripted.empty()) return 0;
  uint32_t value = scripted.front();
  scripted.pop_front();
  return value;
}

namespace {

std::vector<double> randomComponents() {
  ns::AutoreleasePool pool;
  CGColorRef cg = send<CGColorRef>(send(cls("ZELColor"), "randomColor"), "CGColor");
  const CGFloat* c = CGColorGetComponents(cg);
  return std::vector<double>(c, c + CGColorGetNumberOfComponents(cg));
}

TEST(RandomColorTest, DrawsRedGreenBlueInOrderModulo255) {
  scripted = {1, 2, 3};
  EXPECT_EQ(randomComponents(), (std::vector<double>{1 / 255.0, 2 / 255.0, 3 / 255.0, 1.0}));
  // 255 and UINT32_MAX (a multiple of 255) wrap to 0; 254 and 509 are the largest step.
  scripted = {255, 254, 0xFFFFFFFFu};
  EXPECT_EQ(randomComponents(), (std::vector<double>{0.0, 254 / 255.0, 0.0, 1.0}));
  scripted = {509, 0xFFFFFFFEu, 256};
  EXPECT_EQ(randomComponents(), (std::vector<double>{254 / 255.0, 254 / 255.0, 1 / 255.0, 1.0}));
  EXPECT_TRUE(scripted.empty());
}

}  // namespace
