#pragma once

#include <iosfwd>
#include <string>

#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"

namespace omrek {

// The job monitor of a command run from the command line. Each target's
// outcome gets a line of its own, so the status lines are not shown. It
// draws a progress bar on the error stream when that is a terminal;
// elsewhere it is quiet, so a script's log holds the outcomes alone. A termination signal counts as
// Cancel, as it does in the window.
class TerminalMonitor : public JobMonitor {
 public:
  TerminalMonitor(ShredEngine& engine, std::ostream& errors, bool drawBar);

  void SetStatus(const std::string&, const std::string&, const std::string&) override {}
  void PumpEvents() override {}
  void AddProgress(std::uint16_t amount) override;
  void ResetProgress() override;
  void ShowMeterFull() override;
  bool ShowsMeter() const override { return drawBar_; }
  // Printed on the error stream as one line, whatever names it holds;
  // nobody is there to acknowledge it.
  void ShowMessage(const std::string& text) override;
  bool CancelFlag() const override;
  void SetCancelFlag(bool value) override { engine_.CancelFlag = value; }

  // Takes the bar off the terminal's last line, so a report line can go
  // there; it is drawn again at the next progress.
  void ClearBar();

 private:
  void DrawBar(std::int64_t position);

  ShredEngine& engine_;
  std::ostream& errors_;
  bool drawBar_;
  bool barShown_ = false;
  int lastPercent_ = -1;
};

}  // namespace omrek
