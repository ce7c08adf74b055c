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

void TellNotReached(ShredEngine& engine, const TargetRows& rows, const OutcomeSink& sink) {
  for (int row = engine.RowIndex; row < rows.RowCount(); ++row) {
    TargetOutcome skipped;
    skipped.outcome = Outcome::NotReached;
    skipped.target = rows.RowFile(row).path;
    sink(skipped);
  }
}

}  // namespace

void ShowOutcome(JobMonitor& monitor, const TargetOutcome& done) {
  if (TextsOf(done.outcome).status1 != nullptr) monitor.SetStatus(StatusLine1(done), StatusLine2(done), "");
}

void WalkRows(ShredEngine& engine, JobMonitor& monitor, TargetRows& rows, RowPump pump,
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
  TellNotReached(engine, rows, sink);
}

}  // namespace omrek
