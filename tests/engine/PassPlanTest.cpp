#include "engine/PassPlan.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

// Every pass of a walk, and whether the file is flushed after it.
using Walk = std::vector<std::pair<Pass, bool>>;

Walk Walked(PassOrder order, const WipeProfile& profile) {
  Walk walk;
  WalkPasses(order, profile, [&](const Pass& pass, bool flushAfter) { walk.emplace_back(pass, flushAfter); });
  return walk;
}

Walk EachFlushed(const std::vector<Pass>& passes) {
  Walk walk;
  for (const Pass& pass : passes) walk.emplace_back(pass, true);
  return walk;
}

TEST(PlanOrders, EachCommandRunsTheOptionsInItsOwnOrder) {
  StoredWipeProfile profile;
  profile.dod = true;
  profile.numRandomize = 2;
  const Pass dod{PassKind::Fill, 0xE5}, invert{PassKind::Invert}, random{PassKind::Random};
  const Pass zero{PassKind::Fill, 0x00}, one{PassKind::Fill, 0xFF}, custom{PassKind::Fill, 0xFE};
  const Walk destroy = EachFlushed({dod, dod, dod, dod, dod, dod, dod, invert, random, random, zero, one, custom});
  EXPECT_EQ(Walked(PassOrder::Destroy, profile), destroy);
  EXPECT_EQ(Walked(PassOrder::Slack, profile),
            EachFlushed({invert, random, random, dod, dod, dod, dod, dod, dod, dod, zero, one, custom}));
  Walk freeSpace = destroy;
  for (int pass = 0; pass < 6; ++pass) freeSpace[static_cast<std::size_t>(pass)].second = false;
  EXPECT_EQ(Walked(PassOrder::FreeSpace, profile), freeSpace) << "the DOD passes share one flush, after the seventh";
  for (const PassOrder order : {PassOrder::Destroy, PassOrder::Slack, PassOrder::FreeSpace}) {
    EXPECT_EQ(PassCount(order, profile), 13);
  }
}

TEST(PlanText, NamesTheStepsInTheOrderOfTheCommand) {
  StoredWipeProfile profile;
  profile.dod = true;
  profile.numRandomize = 3;
  const std::string destroy = "DOD 5220.22M (7 passes of E5), invert, 3 random, 00, FF, FE";
  const std::string slack = "invert, 3 random, DOD 5220.22M (7 passes of E5), 00, FF, FE";
  EXPECT_EQ(PlanText(PassOrder::Destroy, profile), destroy);
  EXPECT_EQ(PlanText(PassOrder::FreeSpace, profile), destroy);
  EXPECT_EQ(PlanText(PassOrder::Slack, profile), slack);

  profile.nullValue = "7f";
  profile.dod = profile.nullify1 = false;
  EXPECT_EQ(PlanText(PassOrder::Slack, profile), "invert, 3 random, FF, 07") << "the byte written: f is no digit";
  profile.nullValue = "ZZ";
  EXPECT_EQ(PlanText(PassOrder::Slack, profile), "invert, 3 random, FF, 00");
  profile.inversion = profile.randomize = profile.nullify2 = profile.nullifyCustom = false;
  EXPECT_EQ(PlanText(PassOrder::Destroy, profile), "no pass");
}

// The options as the dialog's controls give them: each read is noted, and
// the test may change them while the walk runs.
struct NotingProfile : StoredWipeProfile {
  mutable std::vector<std::string> reads;
  template <typename Value>
  Value Note(const char* name, Value value) const {
    reads.push_back(name);
    return value;
  }
  bool DOD() const override { return Note("DOD", dod); }
  bool Inversion() const override { return Note("Inversion", inversion); }
  bool Randomize() const override { return Note("Randomize", randomize); }
  std::int32_t NumRandomize() const override { return Note("NumRandomize", numRandomize); }
  bool Nullify1() const override { return Note("Nullify1", nullify1); }
  bool Nullify2() const override { return Note("Nullify2", nullify2); }
  bool NullifyCustom() const override { return Note("NullifyCustom", nullifyCustom); }
  std::string NullValue() const override { return Note("NullValue", nullValue); }
};

TEST(PlanWalk, ReadsEachOptionOnlyWhenItsStepIsReached) {
  NotingProfile profile;
  std::vector<Pass> run;
  WalkPasses(PassOrder::Slack, profile, [&](const Pass& pass, bool) {
    profile.reads.push_back("pass");
    run.push_back(pass);
    // Changed in the dialog while the first pass runs.
    profile.nullify2 = false;
    profile.nullValue = "0A";
  });
  EXPECT_EQ(profile.reads,
            (std::vector<std::string>{"Inversion", "pass", "Randomize", "NumRandomize", "pass", "DOD", "Nullify1",
                                      "pass", "Nullify2", "NullifyCustom", "NullValue", "pass"}));
  EXPECT_EQ(
      run, (std::vector<Pass>{{PassKind::Invert}, {PassKind::Random}, {PassKind::Fill, 0x00}, {PassKind::Fill, 0x0A}}));
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
