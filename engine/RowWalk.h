#pragma once

#include <functional>

#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"
#include "engine/TargetOutcome.h"
#include "intake/TargetRows.h"

namespace omrek {

// Where a list command lets events run as it goes from row to row.
enum class RowPump {
  BeforeEachRow,  // the destroy command: then it looks again whether the row is still there
  AfterEachRow,   // the slack command
};

// The walk of the destroy and slack commands over the list: each row's file
// goes to `act`, its outcome is shown in the row (a destroyed file's row
// goes, any other reads its state) and told to `sink`. Stops between rows
// once CancelFlag is set; the rows it did not come to are told to `sink` as
// not reached (with `verify`, their verification "not done"). The user may
// remove rows while events run: the walk acts on the row it worked on,
// wherever it is then, and on no other.
void WalkRows(ShredEngine& engine, JobMonitor& monitor, TargetRows& rows, RowPump pump, bool verify,
              const std::function<TargetOutcome(const ListedFile&)>& act, const OutcomeSink& sink);

}  // namespace omrek
