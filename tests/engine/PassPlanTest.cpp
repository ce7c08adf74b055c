#include "engine/PassPlan.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/WorkTotal.h"

namespace omrek {
namespace {

std::vector<Pass> WholePlan(const WipeProfile& profile) {
  std::vector<Pass> plan;
  WalkPasses(PassOrder::Destroy, profile, [&](const Pass& pass, bool) { plan.push_back(pass); });
  return plan;
}

TEST(ParseHexByte, UpperCaseDigitsShiftInAndTheRestIsSkipped) {
  EXPECT_EQ(ParseHexByte("FE"), 0xFE);
  EXPECT_EQ(ParseHexByte("0A"), 0x0A);
  EXPECT_EQ(ParseHexByte("fe"), 0x00);
  EXPECT_EQ(ParseHexByte("G1"), 0x01);
  EXPECT_EQ(ParseHexByte("ABC"), 0xBC);
  EXPECT_EQ(ParseHexByte(""), 0x00);
  EXPECT_EQ(ParseHexByte(" 7 F"), 0x7F);
}

TEST(DestructionPlan, EveryOptionGivesFourteenPassesInOrder) {
  StoredWipeProfile profile;
  profile.dod = true;
  profile.numRandomize = 3;
  const Pass dod{PassKind::Fill, 0xE5};
  const std::vector<Pass> expected{dod,
                                   dod,
                                   dod,
                                   dod,
                                   dod,
                                   dod,
                                   dod,
                                   {PassKind::Invert},
                                   {PassKind::Random},
                                   {PassKind::Random},
                                   {PassKind::Random},
                                   {PassKind::Fill, 0x00},
                                   {PassKind::Fill, 0xFF},
                                   {PassKind::Fill, 0xFE}};
  EXPECT_EQ(WholePlan(profile), expected);
  EXPECT_EQ(PassCount(PassOrder::Destroy, profile), 14);
}

TEST(DestructionPlan, InitialProfileAndSwitchedOffOptions) {
  StoredWipeProfile profile;
  EXPECT_EQ(WholePlan(profile), (std::vector<Pass>{{PassKind::Invert},
                                                   {PassKind::Random},
                                                   {PassKind::Fill, 0x00},
                                                   {PassKind::Fill, 0xFF},
                                                   {PassKind::Fill, 0xFE}}));
  profile.numRandomize = 0;
  EXPECT_EQ(PassCount(PassOrder::Destroy, profile), 4);
  profile.numRandomize = -5;  // only a hand-edited settings file gets here
  EXPECT_EQ(PassCount(PassOrder::Destroy, profile), 4) << "no pass, and nothing taken off the others";
  profile = StoredWipeProfile{};
  profile.inversion = profile.randomize = profile.nullify1 = profile.nullify2 = profile.nullifyCustom = false;
  EXPECT_TRUE(WholePlan(profile).empty());
}

TEST(SectorsToClusterEnd, ReachesTheEndOfTheLastCluster) {
  EXPECT_EQ(SectorsToClusterEnd(0, 4096), 0);
  EXPECT_EQ(SectorsToClusterEnd(1, 4096), 8);
  EXPECT_EQ(SectorsToClusterEnd(3584, 4096), 8);
  EXPECT_EQ(SectorsToClusterEnd(4096, 4096), 8);
  EXPECT_EQ(SectorsToClusterEnd(4097, 4096), 16);
  EXPECT_EQ(SectorsToClusterEnd(1000, 512), 2);
  EXPECT_EQ(SectorsToClusterEnd(5ull << 30, 4096), 10485760) << "past 4 GiB";
}

}  // namespace
}  // namespace omrek
