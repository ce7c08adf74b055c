#include "tests/support/LoopImage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace omrek::test {

namespace {

bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

}  // namespace

LoopImage::LoopImage(int megabytes, int blockSize, const std::string& label) {
  if (::geteuid() != 0) {
    reason_ = "mounting a loop image needs root";
    return;
  }
  std::string pattern = std::filesystem::temp_directory_path().string() + "/omrek-loop-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    reason_ = "cannot make a folder for the image";
    return;
  }
  ::chmod(pattern.c_str(), 0755);
  folder_ = pattern;
  image_ = folder_ + "/image.ext4";
  mountPoint_ = folder_ + "/mnt";
  std::filesystem::create_directory(mountPoint_);

  const std::string make = "truncate -s " + std::to_string(megabytes) + "M '" + image_ + "' && mkfs.ext4 -q -F -b " +
                           std::to_string(blockSize) + " -L '" + label + "' '" + image_ + "'";
  if (!Run(make)) {
    reason_ = "mkfs.ext4 failed";
    return;
  }
  if (!Run("mount -o loop '" + image_ + "' '" + mountPoint_ + "'")) {
    reason_ = "cannot loop-mount an image here";
    return;
  }
  ::chmod(mountPoint_.c_str(), 0755);
  mounted_ = true;
}

LoopImage::~LoopImage() {
  if (mounted_ && !Run("umount '" + mountPoint_ + "'")) Run("umount -l '" + mountPoint_ + "'");
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

}  // namespace omrek::test
