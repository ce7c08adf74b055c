#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/JobMonitor.h"
#include "engine/TargetOutcome.h"
#include "intake/ExpandedFolder.h"
#include "intake/TargetFile.h"

namespace omrek {

// The folders the destroy command's files were listed from (see
// ExpandedFolder), removed once those files are gone.
class EmptiedFolders {
 public:
  // Notes the folder `file` was listed from, if it was.
  void Note(const ListedFile& file);

  // Goes through each noted folder and the folders inside it, deepest
  // first: a folder that holds nothing but the links and other names noted
  // there loses them (as names: never what a link leads to), has its name
  // wiped when `wipeNames` and is removed. A folder that holds anything else
  // (a mount point, a file kept or added since) stays, with its links. A
  // mount point is known from the mount table and never looked at. Each
  // folder removed or kept is told to `sink`; events run between folders.
  // Once the monitor's cancel flag is up the folders left stay, told as
  // kept.
  void RemoveEmptied(JobMonitor& monitor, bool wipeNames, const OutcomeSink& sink);

 private:
  std::vector<std::shared_ptr<const ExpandedFolder>> noted_;
};

}  // namespace omrek
