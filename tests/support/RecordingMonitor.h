#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"

namespace omrek::test {

// A job monitor for engine tests without a window: keeps every first status
// line shown and counts progress into the engine, as the main window does.
class RecordingMonitor : public JobMonitor {
 public:
  explicit RecordingMonitor(ShredEngine& engine) : engine_(engine) {}

  void SetStatus(const std::string& line1, const std::string& line2, const std::string& line3) override {
    statuses.push_back(line1);
    lines.push_back({line1, line2, line3});
    if (statusPumps) PumpEvents();
  }
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  void AddProgress(std::uint16_t amount) override { engine_.Progress += amount; }
  void ResetProgress() override { engine_.Progress = 0; }
  void ShowMeterFull() override { ++meterFull; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool CancelFlag() const override { return engine_.CancelFlag; }
  void SetCancelFlag(bool value) override { engine_.CancelFlag = value; }

  std::vector<std::string> statuses;
  std::vector<std::array<std::string, 3>> lines;  // all three lines of each status
  std::vector<std::string> messages;
  int pumps = 0;
  int meterFull = 0;
  // Runs at each pump: where a click on Cancel would be handled.
  std::function<void()> onPump;
  // Each status line pumps too, as the main window's does.
  bool statusPumps = false;

 private:
  ShredEngine& engine_;
};

}  // namespace omrek::test
