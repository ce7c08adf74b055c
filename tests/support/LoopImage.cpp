#include "tests/support/LoopImage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/Shell.h"

namespace omrek::test {

std::string MakeImageFolder(const std::string& prefix) {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  ::chmod(pattern.c_str(), 0755);
  return pattern;
}

bool MakeImage(const std::string& fileSystem, const std::string& image, int megabytes, const std::string& label,
               const std::string& options) {
  // mkfs.ext4 overwrites an image with -F, the others with -f.
  const std::string flags = fileSystem == "ext4" ? "-q -F" : "-q -f";
  return RunQuietly("command -v mkfs." + fileSystem + " && truncate -s " + std::to_string(megabytes) + "M '" + image +
                    "' && mkfs." + fileSystem + " " + flags + " " + options + " -L '" + label + "' '" + image + "'");
}

bool MakeExt4Image(const std::string& image, int megabytes, const std::string& label, const std::string& options) {
  return MakeImage("ext4", image, megabytes, label, options);
}

LoopImage::LoopImage(int megabytes, int blockSize, const std::string& label)
    : LoopImage(megabytes, label, "-b " + std::to_string(blockSize)) {}

LoopImage::LoopImage(int megabytes, const std::string& label, const std::string& mkfsOptions)
    : LoopImage(Kind{"ext4"}, megabytes, label, mkfsOptions) {}

LoopImage::LoopImage(const Kind& kind, int megabytes, const std::string& label, const std::string& mkfsOptions) {
  if (::geteuid() != 0) {
    reason_ = "mounting a loop image needs root";
    return;
  }
  folder_ = MakeImageFolder("omrek-loop");
  if (folder_.empty()) {
    reason_ = "cannot make a folder for the image";
    return;
  }
  image_ = folder_ + "/image." + kind.fileSystem;
  mountPoint_ = folder_ + "/mnt";
  std::filesystem::create_directory(mountPoint_);
  if (!MakeImage(kind.fileSystem, image_, megabytes, label, mkfsOptions)) {
    reason_ = "mkfs." + kind.fileSystem + " failed or is not installed";
    return;
  }
  if (!RunQuietly("mount -o loop '" + image_ + "' '" + mountPoint_ + "'")) {
    reason_ = "cannot loop-mount an image here";
    return;
  }
  ::chmod(mountPoint_.c_str(), 0755);
  mounted_ = true;
}

void LoopImage::Unmount() {
  if (mounted_ && !RunQuietly("umount '" + mountPoint_ + "'")) RunQuietly("umount -l '" + mountPoint_ + "'");
  mounted_ = false;
}

LoopImage::~LoopImage() {
  Unmount();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

}  // namespace omrek::test

namespace omrek::test {

std::string LoopImage::Device() const { return OutputOf("findmnt -n -o SOURCE --target '" + mountPoint_ + "'"); }

std::string LoopImage::SysfsFolder() const {
  return "/sys/fs/ext4/" + std::filesystem::path(Device()).filename().string();
}

}  // namespace omrek::test
