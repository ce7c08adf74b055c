#include "widgets/BarMeter.h"

#include <gtest/gtest.h>

namespace omrek {
namespace {

TEST(BarMeter, LightsBarsInProportion) {
  BarMeter meter;
  meter.setMaximum(40);
  meter.setPosition(0);
  EXPECT_EQ(meter.litBars(), 0);
  meter.setPosition(3);
  EXPECT_EQ(meter.litBars(), 3);  // 3 of 40 is 3.75 of 50 bars
  meter.setPosition(20);
  EXPECT_EQ(meter.litBars(), 25);
  meter.setPosition(40);
  EXPECT_EQ(meter.litBars(), BarMeter::kBarCount);
}

TEST(BarMeter, OddTotalsNeitherCrashNorOverflow) {
  BarMeter meter;
  meter.setMaximum(0);
  meter.setPosition(5);
  EXPECT_EQ(meter.litBars(), 0);
  meter.setMaximum(10);
  meter.setPosition(11);
  EXPECT_EQ(meter.litBars(), BarMeter::kBarCount);
  meter.setMaximum(std::int64_t{1} << 40);
  meter.setPosition(std::int64_t{1} << 39);
  EXPECT_EQ(meter.litBars(), 25);
  meter.resize(564, 20);
  meter.grab();
}

}  // namespace
}  // namespace omrek
