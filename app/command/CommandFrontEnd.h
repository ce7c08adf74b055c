#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "disk/SpaceWipeForecast.h"
#include "engine/CommandReport.h"
#include "engine/TargetOutcome.h"
#include "platform/InPlaceCaveat.h"

namespace omrek {

// What the question before a Destroy is about: how many files it destroys,
// and the drives they lie on, as a wipe of the free space they leave would
// fill them afterwards.
struct DestroyQuestion {
  std::size_t files = 0;
  SpaceWipeQuestion space;
  // One of the drives is known to keep old copies that overwriting in place
  // does not reach (copy-on-write, flash, a network server): wiping the
  // free space afterwards is offered ticked.
  bool keepsCopies = false;
};

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

  // Before a Destroy that can go on to wipe the free space its files leave.
  // Nothing: the command stops unstarted. Otherwise whether it goes on to
  // wipe the free space of the drives where it destroyed files.
  virtual std::optional<bool> ConfirmDestroy(const DestroyQuestion& question) = 0;

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
