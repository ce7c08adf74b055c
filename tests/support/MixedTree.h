#pragma once

#include <string>
#include <vector>

#include "tests/support/LoopImage.h"

namespace omrek::test {

// A folder tree with everything a walk of it must tell apart, made in
// `base` (best on a drive of the test's own):
//   base/outside.txt, base/outside-dir/kept.txt        what the links lead to
//   base/tree/a.txt, base/tree/.hidden
//   base/tree/sub/b.bin, base/tree/sub/deeper/.c, base/tree/sub/empty/
//   base/tree/link-file  -> base/outside.txt
//   base/tree/sub/link-dir -> base/outside-dir
//   base/tree/fifo       a FIFO
//   base/tree/mnt        the `inner` drive mounted there (a bind mount),
//                        holding inner.txt
//   base/tree/bound      base/bound-src bound there (the same file system),
//                        holding secret.txt
//   base/tree/overfile   a file with base/bound-file bound over it
// The mounts go at the end.
class MixedTree {
 public:
  MixedTree(const std::string& base, const LoopImage& inner);
  ~MixedTree();
  MixedTree(const MixedTree&) = delete;
  MixedTree& operator=(const MixedTree&) = delete;

  // False when the inner drive or a bind could not be mounted inside.
  bool Mounted() const { return mounted_; }

  std::string Root() const { return base_ + "/tree"; }
  std::string In(const std::string& relative) const { return Root() + "/" + relative; }
  std::string Outside() const { return base_ + "/outside.txt"; }
  std::string OutsideFolderFile() const { return base_ + "/outside-dir/kept.txt"; }
  std::string InnerFile() const { return In("mnt/inner.txt"); }
  // What the binds of the tree's own file system show, and what is bound.
  std::string BoundFile() const { return base_ + "/bound-src/secret.txt"; }
  std::string FileBoundOver() const { return base_ + "/bound-file"; }
  // The regular files on the tree's own drive, in the order a walk lists
  // them (by name within each folder).
  std::vector<std::string> Files() const;

 private:
  std::string base_;
  bool mounted_ = false;
};

}  // namespace omrek::test
