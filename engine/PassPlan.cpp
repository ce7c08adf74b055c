#include "engine/PassPlan.h"

#include <array>
#include <cstdio>

namespace omrek {

namespace {

// The options of a profile, each one step of a plan.
enum class Option { Dod, Inversion, Random, Zero, One, Custom };

constexpr std::array kDestroyOrder{Option::Dod,  Option::Inversion, Option::Random,
                                   Option::Zero, Option::One,       Option::Custom};
constexpr std::array kSlackOrder{Option::Inversion, Option::Random, Option::Dod,
                                 Option::Zero,      Option::One,    Option::Custom};

constexpr std::uint8_t kDodByte = 0xE5;
constexpr int kDodPasses = 7;

PlanStep Off() { return {{PassKind::Fill}, 0, false, ""}; }

PlanStep Once(bool on, Pass pass, std::string text) { return {pass, on ? 1 : 0, false, std::move(text)}; }

// The step of `option`, reading it from the profile now.
PlanStep StepOf(Option option, PassOrder order, const WipeProfile& profile) {
  switch (option) {
    case Option::Dod:
      // Over a chunk of free space the seven passes share one flush: they
      // write one byte over one megabyte, and flushes between them would
      // only wait for the disk.
      return {{PassKind::Fill, kDodByte},
              profile.DOD() ? kDodPasses : 0,
              order == PassOrder::FreeSpace,
              "DOD 5220.22M (7 passes of E5)"};
    case Option::Inversion:
      return Once(profile.Inversion(), {PassKind::Invert}, "invert");
    case Option::Random: {
      if (!profile.Randomize()) return Off();
      const std::int32_t count = profile.NumRandomize();
      return count > 0 ? PlanStep{{PassKind::Random}, count, false, std::to_string(count) + " random"} : Off();
    }
    case Option::Zero:
      return Once(profile.Nullify1(), {PassKind::Fill, 0x00}, "00");
    case Option::One:
      return Once(profile.Nullify2(), {PassKind::Fill, 0xFF}, "FF");
    case Option::Custom: {
      if (!profile.NullifyCustom()) return Off();
      // Named by the byte it writes, not by the text it was read from: a
      // text that is no hexadecimal byte writes something else.
      const std::uint8_t value = ParseHexByte(profile.NullValue());
      char text[3];
      std::snprintf(text, sizeof text, "%02X", value);
      return {{PassKind::Fill, value}, 1, false, text};
    }
  }
  return Off();
}

}  // namespace

void WalkSteps(PassOrder order, const WipeProfile& profile, const std::function<void(const PlanStep&)>& each) {
  for (const Option option : order == PassOrder::Slack ? kSlackOrder : kDestroyOrder) {
    each(StepOf(option, order, profile));
  }
}

void WalkPasses(PassOrder order, const WipeProfile& profile,
                const std::function<void(const Pass& pass, bool flushAfter)>& each) {
  WalkSteps(order, profile, [&](const PlanStep& step) {
    for (std::int64_t repeat = 1; repeat <= step.repeat; ++repeat) {
      each(step.pass, !step.flushAfterLastRepeatOnly || repeat == step.repeat);
    }
  });
}

std::int64_t PassCount(PassOrder order, const WipeProfile& profile) {
  std::int64_t count = 0;
  WalkSteps(order, profile, [&](const PlanStep& step) { count += step.repeat; });
  return count;
}

std::string PlanText(PassOrder order, const WipeProfile& profile) {
  std::string text;
  int steps = 0;
  WalkSteps(order, profile, [&](const PlanStep& step) {
    if (step.repeat > 0) text += (steps++ == 0 ? "" : ", ") + step.text;
  });
  return steps == 0 ? "no pass" : text;
}

}  // namespace omrek
