#pragma once

#include <stdexcept>

namespace omrek {

// The program was asked to end (a termination signal) while a command was
// writing. Raised at the next safe point, so the command unwinds through
// its clean-ups: nothing lengthened, no filler left, no half-done file
// deleted.
class StopRequested : public std::runtime_error {
 public:
  StopRequested() : std::runtime_error("Stopped") {}
};

// A safe point: raises StopRequested once the program has been asked to end.
void StopIfEnding();

}  // namespace omrek
