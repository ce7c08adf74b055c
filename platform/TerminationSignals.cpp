#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

namespace omrek::TerminationSignals {

namespace {

std::atomic<int> requested{0};
int pipeEnds[2] = {-1, -1};

void Note(int signal) {
  const int saved = errno;
  requested.store(signal);
  const char byte = 1;
  // A full pipe already says everything the reader needs to know.
  [[maybe_unused]] const ssize_t ignored = ::write(pipeEnds[1], &byte, 1);
  errno = saved;
}

}  // namespace

int Install() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = Note;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  });
  return pipeEnds[0];
}

int Requested() { return requested.load(); }

void Drain() {
  char bytes[64];
  while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace omrek::TerminationSignals
