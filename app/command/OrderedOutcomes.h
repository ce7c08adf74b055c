#pragma once

#include <cstddef>
#include <vector>

#include "engine/TargetOutcome.h"

namespace omrek {

// A target given to a command that it cannot act on (missing, a folder, a
// link), and how many of the targets it does act on were given before it.
struct SkippedTarget {
  TargetOutcome outcome;
  std::size_t targetsBefore = 0;
};

// Tells a command's outcomes in the order its targets were given, the
// skipped ones in their places among those the command acted on.
class OrderedOutcomes {
 public:
  // `skipped` in the order given.
  OrderedOutcomes(std::vector<SkippedTarget> skipped, OutcomeSink tell);

  // The next target the command acted on.
  void Done(const TargetOutcome& done);
  // The skipped targets not told yet: those given after the last target
  // the command came to.
  void Finish();

 private:
  // Tells the skipped targets given before the acted-on target numbered
  // `actedOn` (from 0).
  void TellSkippedBefore(std::size_t actedOn);

  std::vector<SkippedTarget> skipped_;
  OutcomeSink tell_;
  std::size_t nextSkipped_ = 0;
  std::size_t actedOn_ = 0;
};

}  // namespace omrek
