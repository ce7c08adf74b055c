#include "app/cli/TerminalMonitor.h"

#include <algorithm>
#include <ostream>

#include "intake/ReadablePath.h"
#include "platform/Terminal.h"
#include "platform/TerminationSignals.h"

namespace omrek {

TerminalMonitor::TerminalMonitor(ShredEngine& engine, std::ostream& errors, bool drawBar)
    : engine_(engine), errors_(errors), drawBar_(drawBar) {}

void TerminalMonitor::AddProgress(std::uint16_t amount) {
  engine_.Progress += amount;
  DrawBar(engine_.Progress);
}

void TerminalMonitor::ResetProgress() {
  engine_.Progress = 0;
  lastPercent_ = -1;
}

void TerminalMonitor::ShowMeterFull() { DrawBar(engine_.WorkTotal); }

void TerminalMonitor::ShowMessage(const std::string& text) {
  ClearBar();
  errors_ << "omrek: " << ControlsEscaped(text) << '\n' << std::flush;
}

bool TerminalMonitor::CancelFlag() const { return engine_.CancelFlag || TerminationSignals::Requested() != 0; }

void TerminalMonitor::ClearBar() {
  if (!barShown_) return;
  errors_ << "\r\033[K" << std::flush;
  barShown_ = false;
  lastPercent_ = -1;
}

void TerminalMonitor::DrawBar(std::int64_t position) {
  if (!drawBar_ || engine_.WorkTotal <= 0) return;
  const auto percent = static_cast<int>(std::clamp<std::int64_t>(position * 100 / engine_.WorkTotal, 0, 100));
  // Redrawn only when the figure changes: a terminal is slow to write to.
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  const int width = std::max(10, TerminalColumns() - 8);
  const int filled = width * percent / 100;
  errors_ << "\r[" << std::string(filled, '#') << std::string(width - filled, '.') << "] " << percent << '%'
          << std::flush;
  barShown_ = true;
}

}  // namespace omrek
