#include "platform/MountWatch.h"

#include <fcntl.h>
#include <unistd.h>

namespace omrek {

MountWatch::MountWatch() : fd_(::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {}

MountWatch::~MountWatch() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace omrek
