#pragma once

#include <set>
#include <string>

namespace omrek {

// The mount points inside a folder as the mount table lists them: folders
// and single files bound over another alike, of the folder's own file
// system too (a bind mount shows no other device). Known by their paths, so
// a walk can pass one by before it looks at it: a mount whose server has
// stopped answers no look at all.
class MountPointsInside {
 public:
  MountPointsInside() = default;
  // `route`: the folder's path with no link in it. Reads the table once.
  explicit MountPointsInside(const std::string& route);

  // The names of the mount points directly inside the folder `relative`
  // ("" for the folder itself, "sub/inner" further down).
  std::set<std::string> NamesIn(const std::string& relative) const;

 private:
  // By their paths relative to the folder.
  std::set<std::string> relatives_;
};

}  // namespace omrek
