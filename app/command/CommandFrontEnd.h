#pragma once

#include <string>
#include <utility>
#include <vector>

#include "disk/SpaceWipeForecast.h"
#include "engine/CommandReport.h"
#include "engine/TargetOutcome.h"
#include "platform/InPlaceCaveat.h"

namespace omrek {

// What differs between the window and the command line when a command
// runs: how they ask and how they show. The commands themselves are the
// same code behind both.
class CommandFrontEnd {
 public:
  virtual ~CommandFrontEnd() = default;

  // Before a command writes on drives where overwriting in place may miss
  // old copies: one caveat per drive. False stops the command unstarted.
  virtual bool AcceptInPlaceCaveats(const std::vector<InPlaceCaveat>& caveats) = 0;

  // Before the free-space wipe fills the drives. False stops it unstarted.
  virtual bool ConfirmSpaceWipe(const std::vector<DriveForecast>& drives) = 0;

  // Each target as the command is done with it.
  virtual void TargetDone(const TargetOutcome& done) = 0;

  // After a command that deleted names: the file systems whose journals
  // may still hold them, each with why. The report tells them too.
  virtual void JournalsUncleared(const std::vector<std::string>& /*lines*/) {}

  // The report of a command that started, also when it ended in an error
  // or came to no target.
  virtual void ReportReady(CommandReport report) = 0;

  // What the start put right of stopped runs, for the next report to tell
  // once.
  void NoteStartRepairs(std::vector<std::string> lines) { startRepairs_ = std::move(lines); }
  std::vector<std::string> TakeStartRepairs() { return std::exchange(startRepairs_, {}); }

 private:
  std::vector<std::string> startRepairs_;
};

}  // namespace omrek
