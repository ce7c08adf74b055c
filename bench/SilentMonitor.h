#pragma once

#include <chrono>
#include <string>

#include "engine/JobMonitor.h"
#include "engine/ShredEngine.h"

namespace omrek {

// A job monitor that shows nothing and only counts, so a benchmark measures
// the work and not a window.
class SilentMonitor : public JobMonitor {
 public:
  explicit SilentMonitor(ShredEngine& engine) : engine_(engine) {}
  void SetStatus(const std::string&, const std::string&, const std::string&) override {}
  void PumpEvents() override {}
  void AddProgress(std::uint16_t amount) override { engine_.Progress += amount; }
  void ResetProgress() override { engine_.Progress = 0; }
  void ShowMeterFull() override {}
  void ShowMessage(const std::string&) override {}
  bool CancelFlag() const override { return false; }
  void SetCancelFlag(bool) override {}

 private:
  ShredEngine& engine_;
};

template <typename Work>
double SecondsOf(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace omrek
