#pragma once

#include <string>

namespace omrek::test {

// A small tmpfs (or ramfs, which has no size limit and refuses writes
// around the page cache) mounted on a fresh folder for the test's life.
// Needs root; when it cannot be mounted, Mounted() is false and the test
// skips.
class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& type = "tmpfs");
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
