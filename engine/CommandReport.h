#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/PassPlan.h"
#include "engine/WipeProfile.h"

namespace omrek {

// A plain-text record of one command: when it ran, with which passes, and
// per file (or drive) what came of it. Kept in memory only; it reaches a
// file when the user asks for one, since a list of shredded paths is itself
// something to keep private.
class CommandReport {
 public:
  struct Entry {
    std::string target;        // a path in its readable form, or a drive
    std::string outcome;       // the status the command showed: "File DONE", "ERROR", ...
    std::uint64_t bytes = 0;   // what each pass wrote
    std::int64_t passes = 0;   // passes that ran
    std::string verification;  // "verified", "mismatch", "not done" or "off"

    // What stands for `target` before the command has done anything to it.
    static Entry Before(std::string target, std::string outcome, bool verify) {
      return {std::move(target), std::move(outcome), 0, 0, verify ? "not done" : "off"};
    }

    // Runs `check`, which raises when the device does not give back what the
    // last pass wrote, and notes what came of it.
    template <typename Check>
    void Verify(Check&& check) {
      verification = "mismatch";
      check();
      verification = "verified";
    }
  };

  // The outcome of a row a command leaves alone without a word.
  static constexpr const char* kLeftAlone = "skipped (a folder, or no longer the file listed)";

  // `order` is the order in which the command runs the profile's passes.
  CommandReport(std::string command, PassOrder order, const WipeProfile& profile, bool verify);

  void Add(Entry entry) { entries_.push_back(std::move(entry)); }
  bool Empty() const { return entries_.empty(); }
  const std::vector<Entry>& Entries() const { return entries_; }

  std::string Text() const;

  // Writes the report to `path`, readable and writable by its owner only.
  // Raises IoError when it cannot.
  void Save(const std::string& path) const;

 private:
  std::string command_;
  std::string profile_;
  bool verify_;
  std::chrono::system_clock::time_point started_;
  std::vector<Entry> entries_;
};

}  // namespace omrek
