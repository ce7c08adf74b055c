#pragma once

#include <cstdint>

#include "engine/WipeProfile.h"

namespace omrek {

enum class PassKind { Fill, Invert, Random };

struct Pass {
  PassKind kind;
  std::uint8_t value = 0;  // the byte of a Fill pass
  bool operator==(const Pass&) const = default;
};

// One step of a plan: a pass run `repeat` times (0 when the step is off).
struct PlanStep {
  Pass pass;
  std::int64_t repeat = 0;
};

// The destruction of a file runs six steps in this order, each reading its
// option only when it is reached: DOD (seven fills of 0xE5), inversion,
// NumRandomize random passes, 0x00, 0xFF, the custom byte.
constexpr int kDestructionSteps = 6;

// Step `step` (0 to 5) of the destruction plan, reading the profile now. A
// random count of 0 or less runs no random pass.
PlanStep DestructionStep(int step, const WipeProfile& profile);

// How many passes the whole plan runs with the profile as it is now.
std::int64_t DestructionPassCount(const WipeProfile& profile);

// The slack wipe of a file runs the same options in an order of its own:
// inversion, NumRandomize random passes, DOD, 0x00, 0xFF, the custom byte.
constexpr int kSlackSteps = 6;
PlanStep SlackStep(int step, const WipeProfile& profile);

}  // namespace omrek
