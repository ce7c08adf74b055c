#include "tests/support/StuckMount.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "tests/support/LoopImage.h"
#include "tests/support/Shell.h"
#include "tests/support/TempDir.h"

namespace omrek::test {

namespace {

#ifdef OMREK_POWER_CUT_DRIVE
const std::string kServerProgram = OMREK_POWER_CUT_DRIVE;
#else
const std::string kServerProgram;
#endif

// The daemon says on this descriptor that its drive is mounted.
constexpr int kReadyDescriptor = 3;

pid_t StartServer(const std::string& backing, const std::string& mountPoint) {
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return -1;
  const pid_t server = ::fork();
  if (server == 0) {
    // A stopped server whose test died must not stay behind.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::dup2(ready[1], kReadyDescriptor) < 0 || ::fcntl(kReadyDescriptor, F_SETFD, 0) != 0) ::_exit(126);
    ::execl(kServerProgram.c_str(), "omrek-power-cut-drive", backing.c_str(), mountPoint.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ready[1]);
  char word = 0;
  ssize_t got = 0;
  while ((got = ::read(ready[0], &word, 1)) < 0 && errno == EINTR) {
  }
  ::close(ready[0]);
  if (got == 1 || server < 0) return server;
  while (::waitpid(server, nullptr, 0) < 0 && errno == EINTR) {
  }
  return -1;
}

}  // namespace

StuckMount::StuckMount() {
  if (kServerProgram.empty()) {
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
  server_ = StartServer(folder_ + "/served", mountPoint_);
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
