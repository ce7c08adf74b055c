#include "engine/PassPlan.h"

namespace omrek {

namespace {
constexpr std::uint8_t kDodByte = 0xE5;
constexpr int kDodPasses = 7;

PlanStep Once(bool on, Pass pass) { return {pass, on ? 1 : 0}; }
}  // namespace

PlanStep DestructionStep(int step, const WipeProfile& profile) {
  switch (step) {
    case 0:
      return {{PassKind::Fill, kDodByte}, profile.DOD() ? kDodPasses : 0};
    case 1:
      return Once(profile.Inversion(), {PassKind::Invert});
    case 2:
      return {{PassKind::Random}, profile.Randomize() && profile.NumRandomize() > 0 ? profile.NumRandomize() : 0};
    case 3:
      return Once(profile.Nullify1(), {PassKind::Fill, 0x00});
    case 4:
      return Once(profile.Nullify2(), {PassKind::Fill, 0xFF});
    case 5:
      // The custom byte is read only when its step is on.
      return profile.NullifyCustom() ? PlanStep{{PassKind::Fill, ParseHexByte(profile.NullValue())}, 1}
                                     : PlanStep{{PassKind::Fill}, 0};
    default:
      return {{PassKind::Fill}, 0};
  }
}

PlanStep SlackStep(int step, const WipeProfile& profile) {
  // The destruction's steps, with DOD moved behind inversion and random.
  constexpr int kDestructionStepOf[kSlackSteps] = {1, 2, 0, 3, 4, 5};
  return step >= 0 && step < kSlackSteps ? DestructionStep(kDestructionStepOf[step], profile)
                                         : PlanStep{{PassKind::Fill}, 0};
}

std::int64_t DestructionPassCount(const WipeProfile& profile) {
  std::int64_t count = 0;
  for (int step = 0; step < kDestructionSteps; ++step) count += DestructionStep(step, profile).repeat;
  return count;
}

}  // namespace omrek
