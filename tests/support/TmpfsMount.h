#pragma once

#include <string>

namespace omrek::test {

// A small tmpfs (or a ramfs, which refuses writes around the page cache)
// mounted on a fresh folder for the test's life: one of its own, or
// `mountPoint`, made for it, where the test needs the mount point's name to
// sort before another's or to hold odd bytes. Needs root; when it cannot be
// mounted, Mounted() is false and the test skips.
class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& mountPoint = {}, const std::string& type = "tmpfs");
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Reason() const { return reason_; }
  const std::string& MountPoint() const { return mountPoint_; }

  // Unmounts before the end of the test.
  void Unmount();

 private:
  std::string mountPoint_;
  std::string reason_;
  bool mounted_ = false;
};

}  // namespace omrek::test
