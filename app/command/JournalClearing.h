#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/TargetOutcome.h"

namespace omrek {

// A journaling file system keeps the folder blocks a command changed, names
// of destroyed files among them, until its journal wraps around. After a
// command, the journal of every file system where it deleted files or
// filled the free space is cleared once.
class JournalClearing {
 public:
  // Notes where this target's outcome may have left names in a journal.
  void Note(const TargetOutcome& done);

  // Clears the noted file systems' journals, each once. One line for each
  // file system whose journal may still hold names, saying why.
  std::vector<std::string> ClearAll();

 private:
  // Where a command worked, and the folders it removed: their names went
  // to the journal of the folder that held them.
  std::set<std::string> folders_;
  std::set<std::string> removed_;
};

}  // namespace omrek
