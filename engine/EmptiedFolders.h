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
  // first: the links and other names noted there go (as names: never what
  // a link leads to), then a folder that is empty has its name wiped when
  // `wipeNames` and is removed. A folder that holds anything else (a mount
  // point, a file kept or added since) stays. Each
  // folder removed or kept is told to `sink`; events run between folders.
  void RemoveEmptied(JobMonitor& monitor, bool wipeNames, const OutcomeSink& sink);

 private:
  std::vector<std::shared_ptr<const ExpandedFolder>> noted_;
};

}  // namespace omrek
