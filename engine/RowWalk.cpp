#include "engine/RowWalk.h"

namespace omrek {

namespace {

// The row's new state; returns the row the walk goes on with.
int ShowInRow(TargetRows& rows, int row, const TargetOutcome& done) {
  if (const char* state = TextsOf(done.outcome).row) {
    rows.SetRowState(row, state);
    return row + 1;
  }
  rows.DeleteRow(row);
  return row;
}

void TellNotReached(ShredEngine& engine, const TargetRows& rows, bool verify, const OutcomeSink& sink) {
  for (int row = engine.RowIndex; row < rows.RowCount(); ++row) {
    TargetOutcome skipped = TargetOutcome::Before(rows.RowFile(row).path, verify);
    skipped.outcome = Outcome::NotReached;
    sink(skipped);
  }
}

}  // namespace

void WalkRows(ShredEngine& engine, JobMonitor& monitor, TargetRows& rows, RowPump pump, bool verify,
              const std::function<TargetOutcome(const ListedFile&)>& act, const OutcomeSink& sink) {
  engine.RowIndex = 0;
  while (engine.RowIndex < rows.RowCount()) {
    if (pump == RowPump::BeforeEachRow) {
      monitor.PumpEvents();
      if (engine.RowIndex >= rows.RowCount()) break;
    }
    const auto row = rows.HandleOf(engine.RowIndex);
    const TargetOutcome done = act(rows.RowFile(engine.RowIndex));
    sink(done);
    if (const int now = row->Index(); now >= 0) engine.RowIndex = ShowInRow(rows, now, done);
    if (pump == RowPump::AfterEachRow) monitor.PumpEvents();
    if (monitor.CancelFlag()) break;
  }
  TellNotReached(engine, rows, verify, sink);
}

}  // namespace omrek
