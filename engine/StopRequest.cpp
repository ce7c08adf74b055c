#include "engine/StopRequest.h"

#include "platform/TerminationSignals.h"

namespace omrek {

void StopIfEnding() {
  if (TerminationSignals::Requested() != 0) throw StopRequested();
}

}  // namespace omrek
