#include "app/command/OrderedOutcomes.h"

#include <limits>

namespace omrek {

OrderedOutcomes::OrderedOutcomes(std::vector<SkippedTarget> skipped, OutcomeSink tell)
    : skipped_(std::move(skipped)), tell_(std::move(tell)) {}

void OrderedOutcomes::Done(const TargetOutcome& done) {
  TellSkippedBefore(actedOn_++);
  tell_(done);
}

void OrderedOutcomes::Finish() { TellSkippedBefore(std::numeric_limits<std::size_t>::max()); }

void OrderedOutcomes::TellSkippedBefore(std::size_t actedOn) {
  while (nextSkipped_ < skipped_.size() && skipped_[nextSkipped_].targetsBefore <= actedOn) {
    tell_(skipped_[nextSkipped_++].outcome);
  }
}

}  // namespace omrek
