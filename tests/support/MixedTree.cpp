#include "tests/support/MixedTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"

namespace omrek::test {

namespace fs = std::filesystem;

MixedTree::MixedTree(const std::string& base, const LoopImage& inner) : base_(base) {
  WriteFile(Outside(), "outside");
  fs::create_directories(base_ + "/outside-dir");
  WriteFile(OutsideFolderFile(), "kept");
  for (const char* folder : {"sub/deeper", "sub/empty", "mnt"}) fs::create_directories(In(folder));
  WriteFile(In("a.txt"), std::string(5000, 'a'));
  WriteFile(In(".hidden"), "hidden");
  WriteFile(In("sub/b.bin"), std::string(70000, 'b'));
  WriteFile(In("sub/deeper/.c"), "c");
  fs::create_symlink(Outside(), In("link-file"));
  fs::create_directory_symlink(base_ + "/outside-dir", In("sub/link-dir"));
  ::mkfifo(In("fifo").c_str(), 0600);
  fs::create_directories(base_ + "/bound-src");
  WriteFile(BoundFile(), "secret");
  WriteFile(base_ + "/bound-file", "bound file");
  fs::create_directories(In("bound"));
  WriteFile(In("overfile"), "under");
  if (!inner.Mounted()) return;
  WriteFile(inner.File("inner.txt"), "inner");
  mounted_ = RunQuietly("mount --bind '" + inner.MountPoint() + "' '" + In("mnt") + "'") &&
             RunQuietly("mount --bind '" + base_ + "/bound-src' '" + In("bound") + "'") &&
             RunQuietly("mount --bind '" + base_ + "/bound-file' '" + In("overfile") + "'");
}

MixedTree::~MixedTree() {
  for (const char* mount : {"overfile", "bound", "mnt"}) RunQuietly("umount '" + In(mount) + "'");
}

std::vector<std::string> MixedTree::Files() const {
  return {In(".hidden"), In("a.txt"), In("sub/b.bin"), In("sub/deeper/.c")};
}

}  // namespace omrek::test
