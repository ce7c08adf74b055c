#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/WipeProfile.h"

namespace omrek {

enum class PassKind { Fill, Invert, Random };

struct Pass {
  PassKind kind;
  std::uint8_t value = 0;  // the byte of a Fill pass
  bool operator==(const Pass&) const = default;
};

// The orders in which the commands run the options of a profile:
// - Destroy: DOD (seven fills of 0xE5), inversion, NumRandomize random
//   passes, 0x00, 0xFF, the custom byte;
// - Slack: the same options with DOD moved behind inversion and random;
// - FreeSpace: the destroy order, but the seven DOD passes over a chunk
//   share one flush, after the seventh.
enum class PassOrder { Destroy, Slack, FreeSpace };

// One step of a plan as the walk reaches it: a pass run `repeat` times (0
// when its option is off).
struct PlanStep {
  Pass pass;
  std::int64_t repeat = 0;
  // The repeats share one flush, after the last; else every pass is
  // flushed.
  bool flushAfterLastRepeatOnly = false;
  // What a report calls the step: "DOD 5220.22M (7 passes of E5)",
  // "invert", "3 random", "00", "FF", or the custom byte's text.
  std::string text;
};

// Calls `each` with every step of `order` in turn. Each option is read from
// `profile` only when its step is reached: the options can change while a
// command runs, and a later step follows the change. A random count of 0 or
// less runs no random pass; the custom byte is read only when its step is on.
void WalkSteps(PassOrder order, const WipeProfile& profile, const std::function<void(const PlanStep&)>& each);

// Calls `each` with every pass of `order` in turn, and whether the file is
// flushed once that pass is written.
void WalkPasses(PassOrder order, const WipeProfile& profile,
                const std::function<void(const Pass& pass, bool flushAfter)>& each);

// How many passes the plan runs with the profile as it is now.
std::int64_t PassCount(PassOrder order, const WipeProfile& profile);

// The steps the plan runs with the profile as it is now, in their order,
// joined by ", "; "no pass" when none is on.
std::string PlanText(PassOrder order, const WipeProfile& profile);

}  // namespace omrek
