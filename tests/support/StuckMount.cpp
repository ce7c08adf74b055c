#include "tests/support/StuckMount.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "tests/support/FuseDrive.h"
#include "tests/support/LoopImage.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"

namespace omrek::test {

StuckMount::StuckMount() {
  if (!FuseDriveBuilt()) {
    reason_ = "built without libfuse3, so without a FUSE server of the tests' own";
    return;
  }
  if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0) {
    reason_ = "a FUSE mount needs root and /dev/fuse";
    return;
  }
  folder_ = MakeImageFolder("omrek-stuck");
  if (folder_.empty()) {
    reason_ = "cannot make a folder for the mount";
    return;
  }
  mountPoint_ = folder_ + "/mnt";
  std::filesystem::create_directory(mountPoint_);
  WriteFile(folder_ + "/served", std::string(4096, 's'));
  // A stopped server whose test died must not stay behind.
  server_ = StartFuseDrive(folder_ + "/served", mountPoint_, true);
  if (server_ <= 0) reason_ = "the FUSE server did not mount";
}

// Killing the server first fails every request still waiting on the mount,
// so nothing, the lazy unmount included, waits for it.
StuckMount::~StuckMount() {
  if (server_ > 0) {
    ::kill(server_, SIGKILL);
    while (::waitpid(server_, nullptr, 0) < 0 && errno == EINTR) {
    }
    RunQuietly("umount -l '" + mountPoint_ + "'");
  }
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

void StuckMount::StopServer() {
  if (server_ <= 0 || ::kill(server_, SIGSTOP) != 0) return;
  int status = 0;
  while (::waitpid(server_, &status, WUNTRACED) < 0 && errno == EINTR) {
  }
}

void StuckMount::ContinueServer() {
  if (server_ > 0) ::kill(server_, SIGCONT);
}

bool MountsOfThisProcessOnly() {
  return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

}  // namespace omrek::test
