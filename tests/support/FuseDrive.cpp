#include "tests/support/FuseDrive.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace omrek::test {

namespace {

#ifdef OMREK_POWER_CUT_DRIVE
const std::string kDriveProgram = OMREK_POWER_CUT_DRIVE;
#else
const std::string kDriveProgram;
#endif

// The daemon says on this descriptor that its drive is mounted.
constexpr int kReadyDescriptor = 3;

}  // namespace

bool FuseDriveBuilt() { return !kDriveProgram.empty(); }

pid_t StartFuseDrive(const std::string& backing, const std::string& mountPoint, bool endWithParent) {
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return -1;
  const pid_t drive = ::fork();
  if (drive == 0) {
    if (endWithParent) ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::dup2(ready[1], kReadyDescriptor) < 0 || ::fcntl(kReadyDescriptor, F_SETFD, 0) != 0) ::_exit(126);
    ::execl(kDriveProgram.c_str(), "omrek-power-cut-drive", backing.c_str(), mountPoint.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ready[1]);
  char word = 0;
  ssize_t got = 0;
  while ((got = ::read(ready[0], &word, 1)) < 0 && errno == EINTR) {
  }
  ::close(ready[0]);
  if (got == 1 || drive < 0) return got == 1 ? drive : -1;
  Reap(drive);
  return -1;
}

void Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace omrek::test
