#include "platform/ExecutablePath.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/IoError.h"

namespace omrek {

std::string RunningExecutablePath() {
  // The link's length is not known before it is read: the buffer grows until
  // the whole path fits.
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) throw IoError::FromErrno(errno);
    if (static_cast<std::size_t>(length) < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace omrek
