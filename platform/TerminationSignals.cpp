#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace omrek::TerminationSignals {

namespace {

std::atomic<int> requested{0};
std::atomic<bool> terminate{false};
// Counts the signs that a stop is under way: a program that has seen the
// request and goes on to its safe point is not cut short.
std::atomic<unsigned long> progress{0};
int pipeEnds[2] = {-1, -1};

void Note(int signal) {
  const int saved = errno;
  requested.store(signal);
  if (signal == SIGTERM) terminate.store(true);
  const char byte = 1;
  // A full pipe already says everything the reader needs to know.
  [[maybe_unused]] const ssize_t ignored = ::write(pipeEnds[1], &byte, 1);
  errno = saved;
}

sigset_t Handled() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, signal);
  return signals;
}

// The kernel hands a signal for the process to its main thread first. A
// main thread waiting on a mount that never answers (a stopped FUSE
// server) cannot run the handler, and the signal would wait with it; this
// thread takes such a signal instead, a quarter of a second later at most.
// SIGTERM is the system's "end now": a program that shows no sign of
// stopping for a second and a half after it (its main thread waits on a
// mount that never answers) is ended there, within two seconds of the
// signal. What a run cut short leaves, the next start puts right.
void Watch() {
  using Clock = std::chrono::steady_clock;
  constexpr auto kGrace = std::chrono::milliseconds(1500);
  const sigset_t signals = Handled();
  std::optional<Clock::time_point> quietSince;
  unsigned long seen = 0;
  for (;;) {
    const timespec tick{0, 250'000'000};
    siginfo_t info{};
    const int signal = ::sigtimedwait(&signals, &info, &tick);
    if (signal > 0) Note(signal);
    if (!terminate.load()) continue;
    const unsigned long now = progress.load();
    if (!quietSince || now != seen) {
      seen = now;
      quietSince = Clock::now();
    } else if (Clock::now() - *quietSince >= kGrace) {
      ::_exit(128 + SIGTERM);
    }
  }
}

void StartWatching() {
  // Blocked in the watcher alone, which waits for them; the thread starts
  // with the mask of the thread that makes it.
  const sigset_t signals = Handled();
  sigset_t before;
  ::pthread_sigmask(SIG_BLOCK, &signals, &before);
  try {
    std::thread(Watch).detach();
  } catch (const std::system_error&) {
    // Without the watcher the handler alone takes the signals.
  }
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
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
    StartWatching();
  });
  return pipeEnds[0];
}

int Requested() {
  const int signal = requested.load();
  if (signal != 0) progress.fetch_add(1);
  return signal;
}

void StillStopping() { progress.fetch_add(1); }

void Drain() {
  char bytes[64];
  while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace omrek::TerminationSignals
