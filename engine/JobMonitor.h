#pragma once

#include <cstdint>
#include <string>

namespace omrek {

// How a running command talks to the user: three status lines, a progress
// meter, and the cancel flag it polls. The main window implements it; engine
// code reports through it without knowing the window.
class JobMonitor {
 public:
  virtual ~JobMonitor() = default;

  // Shows the three lines (an empty text blanks its line), then lets pending
  // window events run, so the window repaints and Cancel can be clicked.
  virtual void SetStatus(const std::string& line1, const std::string& line2, const std::string& line3) = 0;

  // Lets pending window events run: repaints, clicks on Cancel.
  virtual void PumpEvents() = 0;

  // Advances the running count and the meter. Does not pump events.
  virtual void AddProgress(std::uint16_t amount) = 0;

  // Count back to 0, meter maximum to the engine's work total.
  virtual void ResetProgress() = 0;

  // The meter shows full; the count itself goes on from where it is.
  virtual void ShowMeterFull() = 0;

  // Whether anyone sees the meter: a command shown none need not measure
  // every file for its maximum before it begins.
  virtual bool ShowsMeter() const { return true; }

  // A message the user must acknowledge before the command goes on.
  virtual void ShowMessage(const std::string& text) = 0;

  // True while no command runs or a stop was asked for.
  virtual bool CancelFlag() const = 0;
  virtual void SetCancelFlag(bool value) = 0;
};

}  // namespace omrek
