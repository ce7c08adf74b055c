#include "tests/support/TmpfsMount.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/Shell.h"

namespace omrek::test {

TmpfsMount::TmpfsMount(const std::string& mountPoint, const std::string& type) {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/omrek-tmpfs-XXXXXX";
  if (::geteuid() != 0) {
    reason_ = "mounting a tmpfs needs root";
    return;
  }
  const bool made = mountPoint.empty() ? ::mkdtemp(pattern.data()) != nullptr : ::mkdir(mountPoint.c_str(), 0755) == 0;
  if (!made) {
    reason_ = "cannot make a folder to mount a tmpfs on";
    return;
  }
  mountPoint_ = mountPoint.empty() ? pattern : mountPoint;
  if (!RunQuietly("mount -t " + type + " -o size=4m omrek-test '" + mountPoint_ + "'")) {
    reason_ = "cannot mount a " + type + " here";
    return;
  }
  ::chmod(mountPoint_.c_str(), 0755);
  mounted_ = true;
}

void TmpfsMount::Unmount() {
  if (mounted_) RunQuietly("umount '" + mountPoint_ + "' || umount -l '" + mountPoint_ + "'");
  mounted_ = false;
}

TmpfsMount::~TmpfsMount() {
  Unmount();
  if (!mountPoint_.empty()) ::rmdir(mountPoint_.c_str());
}

}  // namespace omrek::test
