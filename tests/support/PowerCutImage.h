#pragma once

#include <sys/types.h>

#include <string>

namespace omrek::test {

// A small ext4 drive whose power a test can cut. The image file is served
// by a FUSE daemon of the tests' own (tests/support/powercut) and that
// served file is loop-mounted, so every write the kernel sends the drive
// passes through the daemon; once the power is cut the daemon answers
// writes as done and stores nothing more. The test then remounts the image
// with only what was kept, as the next boot would. Needs root, /dev/fuse
// and libfuse3 at build time; when it cannot be done, Mounted() is false
// and Reason() says why, and the test skips.
class PowerCutImage {
 public:
  PowerCutImage(int megabytes, const std::string& label);
  ~PowerCutImage();
  PowerCutImage(const PowerCutImage&) = delete;
  PowerCutImage& operator=(const PowerCutImage&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Reason() const { return reason_; }
  const std::string& MountPoint() const { return mountPoint_; }
  std::string File(const std::string& name) const { return mountPoint_ + "/" + name; }

  // From now on nothing that reaches the drive is stored; the kernel is
  // told every write and flush succeeded.
  void CutPower();
  // Takes the dead drive away and mounts the image, holding only what was
  // stored before the cut, at the same mount point: files keep their paths,
  // and mounting replays ext4's journal. Throws when it cannot be mounted.
  void RemountWhatWasKept();

  struct FileSystemCheck {
    int status;
    std::string output;
  };
  // `e2fsck -fn` over the image, unmounted for it and mounted again after.
  FileSystemCheck CheckFileSystem();

 private:
  bool StartDrive();
  void StopDrive();
  void Mount(const std::string& image);
  bool Unmount();

  std::string folder_;
  std::string image_;
  std::string driveFolder_;
  std::string mountPoint_;
  std::string mountedImage_;
  std::string device_;
  std::string reason_;
  pid_t drive_ = -1;
  bool mounted_ = false;
};

}  // namespace omrek::test
