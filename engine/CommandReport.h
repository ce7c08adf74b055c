#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/PassPlan.h"
#include "engine/TargetOutcome.h"
#include "engine/WipeProfile.h"

namespace omrek {

// A plain-text record of one command: when it ran, with which passes, and
// per file (or drive) what came of it. Kept in memory only; it reaches a
// file when the user asks for one, since a list of shredded paths is itself
// something to keep private.
class CommandReport {
 public:
  // `order` is the order in which the command runs the profile's passes.
  CommandReport(std::string command, PassOrder order, const WipeProfile& profile, bool verify);

  void Add(TargetOutcome entry) { entries_.push_back(std::move(entry)); }
  // What the program's start put right of runs that were stopped, told
  // before the command's own targets.
  void AddStartRepairs(std::vector<std::string> lines) { startRepairs_ = std::move(lines); }
  // File systems whose journals may still hold the command's names.
  void AddUnclearedJournals(std::vector<std::string> lines) { unclearedJournals_ = std::move(lines); }
  // The report of a command run straight after this one, as part of one
  // request (a Destroy, then a wipe of the free space it left): its part
  // follows this one's.
  void Follow(CommandReport next) { followers_.push_back(std::move(next)); }
  bool Empty() const;
  const std::vector<TargetOutcome>& Entries() const { return entries_; }

  std::string Text() const;

  // Writes the report to a new file at `path` (see ReportFile), readable
  // and writable by its owner only. Raises ReportRefused when the path names
  // anything already, IoError when it cannot write.
  void Save(const std::string& path) const;

 private:
  std::string command_;
  std::string profile_;
  bool verify_;
  std::chrono::system_clock::time_point started_;
  std::vector<std::string> startRepairs_;
  std::vector<TargetOutcome> entries_;
  std::vector<std::string> unclearedJournals_;
  std::vector<CommandReport> followers_;

  // From the command's name on: what Text() says of one command.
  std::string Part() const;
};

}  // namespace omrek
