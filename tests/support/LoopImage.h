#pragma once

#include <string>

namespace omrek::test {

// A small ext4 file system of the test's own: an image file made with the
// given block size and label, loop-mounted on a fresh folder, unmounted and
// removed at the end. Mounting needs root; when it cannot be done,
// Mounted() is false and Reason() says why, and the test skips.
class LoopImage {
 public:
  LoopImage(int megabytes, int blockSize, const std::string& label);
  // Made with mkfs.ext4's own defaults for its size, and any options given
  // ("-O bigalloc -C 16384").
  LoopImage(int megabytes, const std::string& label, const std::string& mkfsOptions = "");
  // Another file system ("xfs", "btrfs", "ext4"), made by its own mkfs with
  // its defaults for the size and any options given.
  struct Kind {
    std::string fileSystem;
  };
  LoopImage(const Kind& kind, int megabytes, const std::string& label, const std::string& mkfsOptions = "");
  ~LoopImage();
  LoopImage(const LoopImage&) = delete;
  LoopImage& operator=(const LoopImage&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Reason() const { return reason_; }
  const std::string& MountPoint() const { return mountPoint_; }
  std::string File(const std::string& name) const { return mountPoint_ + "/" + name; }
  // The loop device the image is attached to, e.g. /dev/loop3.
  std::string Device() const;
  // The image file itself, to read what reached the disk once unmounted.
  const std::string& ImagePath() const { return image_; }
  // The file system's folder in /sys/fs/ext4, where its tunables live.
  std::string SysfsFolder() const;
  // Unmounts before the end of the test, flushing everything to the image.
  void Unmount();

 private:
  std::string folder_;
  std::string image_;
  std::string mountPoint_;
  std::string reason_;
  bool mounted_ = false;
};

// What the test drives share: a fresh folder under the temporary folder
// that anyone may enter ("" when none can be made), and an ext4 image file
// of `megabytes` made in it with mkfs.ext4's `options`.
std::string MakeImageFolder(const std::string& prefix);
bool MakeExt4Image(const std::string& image, int megabytes, const std::string& label, const std::string& options);
bool MakeImage(const std::string& fileSystem, const std::string& image, int megabytes, const std::string& label,
               const std::string& options);

#define OMREK_REQUIRE_MOUNTED(image) \
  if (!(image).Mounted()) GTEST_SKIP() << (image).Reason()

}  // namespace omrek::test
