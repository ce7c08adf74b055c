#include "tests/support/PowerCutImage.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "tests/support/FuseDrive.h"
#include "tests/support/LoopImage.h"
#include "tests/support/Shell.h"

namespace omrek::test {

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

PowerCutImage::FileSystemCheck CheckReadOnly(const std::string& image) {
  FILE* pipe = ::popen(("e2fsck -fn " + Quoted(image) + " 2>&1").c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run e2fsck");
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

PowerCutImage::PowerCutImage(int megabytes, const std::string& label) {
  if (!FuseDriveBuilt()) {
    reason_ = "built without libfuse3, so without a drive whose power can be cut";
    return;
  }
  if (::geteuid() != 0) {
    reason_ = "mounting a loop image needs root";
    return;
  }
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    reason_ = "no /dev/fuse here";
    return;
  }
  folder_ = MakeImageFolder("omrek-powercut");
  if (folder_.empty()) {
    reason_ = "cannot make a folder for the image";
    return;
  }
  image_ = folder_ + "/image.ext4";
  driveFolder_ = folder_ + "/drive";
  mountPoint_ = folder_ + "/mnt";
  std::filesystem::create_directory(driveFolder_);
  std::filesystem::create_directory(mountPoint_);

  // Large inodes, so that modification times keep their nanoseconds.
  if (!MakeExt4Image(image_, megabytes, label, "-b 4096 -I 256")) {
    reason_ = "mkfs.ext4 failed";
    return;
  }
  if (!StartDrive()) {
    reason_ = "the FUSE drive did not mount";
    return;
  }
  try {
    Mount(driveFolder_ + "/image");
  } catch (const std::exception& error) {
    reason_ = error.what();
  }
}

PowerCutImage::~PowerCutImage() {
  Unmount();
  StopDrive();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

void PowerCutImage::CutPower() {
  if (drive_ <= 0 || ::kill(drive_, SIGUSR1) != 0) throw std::runtime_error("no drive runs whose power could be cut");
}

void PowerCutImage::RemountWhatWasKept() {
  Unmount();
  StopDrive();
  Mount(image_);
}

PowerCutImage::FileSystemCheck PowerCutImage::CheckFileSystem() {
  const std::string mounted = mounted_ ? mountedImage_ : "";
  if (!Unmount()) throw std::runtime_error("the drive was busy, so it was not checked");
  FileSystemCheck check = CheckReadOnly(image_);
  if (!mounted.empty()) Mount(mounted);
  return check;
}

bool PowerCutImage::StartDrive() {
  drive_ = StartFuseDrive(image_, driveFolder_, false);
  return drive_ > 0;
}

// Unmounting the FUSE drive ends its daemon; the signal ends one whose
// drive is still held, lazily unmounted.
void PowerCutImage::StopDrive() {
  if (drive_ <= 0) return;
  RunQuietly("umount " + Quoted(driveFolder_) + " || umount -l " + Quoted(driveFolder_));
  ::kill(drive_, SIGTERM);
  Reap(drive_);
  drive_ = -1;
}

// A loop device of its own rather than `mount -o loop`, so that the device
// detached at the end is surely this image's.
void PowerCutImage::Mount(const std::string& image) {
  device_ = OutputOf("losetup --find --show " + Quoted(image));
  if (device_.empty()) throw std::runtime_error("cannot attach " + image + " to a loop device");
  if (!RunQuietly("mount " + device_ + " " + Quoted(mountPoint_))) {
    RunQuietly("losetup -d " + device_);
    device_.clear();
    throw std::runtime_error("cannot mount " + image + " at " + mountPoint_);
  }
  ::chmod(mountPoint_.c_str(), 0755);
  mountedImage_ = image;
  mounted_ = true;
}

// True when the drive was unmounted at once; one still held is unmounted
// lazily and its loop device let go when the last holder closes it.
bool PowerCutImage::Unmount() {
  if (!mounted_) return true;
  const bool atOnce = RunQuietly("umount " + Quoted(mountPoint_));
  if (!atOnce) RunQuietly("umount -l " + Quoted(mountPoint_));
  RunQuietly("losetup -d " + device_);
  device_.clear();
  mounted_ = false;
  return atOnce;
}

}  // namespace omrek::test
