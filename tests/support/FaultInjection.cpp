#include "tests/support/FaultInjection.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>

namespace omrek::test {

namespace {

struct Fault {
  bool armed = false;
  std::string folder;
  int error = 0;
  int fromCall = 1;
  int calls = 0;
  int failures = 0;
  int delayMilliseconds = 0;
  bool corrupt = false;
};

std::mutex faultsLock;
Fault faults[2];

Fault& FaultFor(FaultedCall call) { return faults[static_cast<int>(call)]; }

bool IsUnder(const std::string& path, const std::string& folder) {
  return path.starts_with(folder.ends_with('/') ? folder : folder + "/");
}

std::string PathOf(int fd) {
  char path[PATH_MAX];
  const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The error this call is to fail with, or 0 to let it through (after the
// delay of a slowed kind; `corrupt` tells a write to alter its bytes).
int InjectedError(FaultedCall call, int fd, bool* corrupt = nullptr) {
  const int savedErrno = errno;
  int error = 0;
  int delay = 0;
  {
    std::lock_guard lock(faultsLock);
    Fault& fault = FaultFor(call);
    if (fault.armed && IsUnder(PathOf(fd), fault.folder) && ++fault.calls >= fault.fromCall) {
      delay = fault.delayMilliseconds;
      if (delay == 0) ++fault.failures;
      error = fault.error;
      if (corrupt != nullptr) *corrupt = fault.corrupt;
    }
  }
  if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
  errno = savedErrno;
  return error;
}

template <typename Function>
Function* Real(const char* name) {
  void* found = ::dlsym(RTLD_NEXT, name);
  if (found == nullptr) throw std::runtime_error(std::string("no ") + name + " in the C library");
  return reinterpret_cast<Function*>(found);
}

}  // namespace

InjectedFault::InjectedFault(FaultedCall call, const std::string& folder, int error, int fromCall) : call_(call) {
  std::lock_guard lock(faultsLock);
  FaultFor(call) = Fault{true, folder, error, fromCall, 0, 0};
}

InjectedFault::~InjectedFault() {
  std::lock_guard lock(faultsLock);
  FaultFor(call_).armed = false;
}

SlowedCalls::SlowedCalls(FaultedCall call, const std::string& folder, int milliseconds) : call_(call) {
  std::lock_guard lock(faultsLock);
  FaultFor(call) = Fault{true, folder, 0, 1, 0, 0, milliseconds};
}

SlowedCalls::~SlowedCalls() {
  std::lock_guard lock(faultsLock);
  FaultFor(call_).armed = false;
}

CorruptedWrites::CorruptedWrites(const std::string& folder, int fromCall) {
  std::lock_guard lock(faultsLock);
  FaultFor(FaultedCall::Write) = Fault{true, folder, 0, fromCall, 0, 0, 0, true};
}

CorruptedWrites::~CorruptedWrites() {
  std::lock_guard lock(faultsLock);
  FaultFor(FaultedCall::Write).armed = false;
}

int InjectedFault::Failures() const {
  std::lock_guard lock(faultsLock);
  return FaultFor(call_).failures;
}

}  // namespace omrek::test

using omrek::test::FaultedCall;
using omrek::test::InjectedError;
using omrek::test::Real;

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  static auto* const real = Real<ssize_t(int, const void*, size_t, off_t)>("pwrite");
  bool corrupt = false;
  if (const int error = InjectedError(FaultedCall::Write, fd, &corrupt)) {
    errno = error;
    return -1;
  }
  if (!corrupt || count == 0) return real(fd, buffer, count, offset);
  // A page-aligned copy, as writes around the page cache need.
  auto* copy = static_cast<unsigned char*>(::operator new (count, std::align_val_t{4096}));
  std::memcpy(copy, buffer, count);
  copy[0] = static_cast<unsigned char>(~copy[0]);
  const ssize_t written = real(fd, copy, count, offset);
  ::operator delete (copy, std::align_val_t{4096});
  return written;
}

extern "C" int fsync(int fd) {
  static auto* const real = Real<int(int)>("fsync");
  if (const int error = InjectedError(FaultedCall::Flush, fd)) {
    errno = error;
    return -1;
  }
  return real(fd);
}

extern "C" int fdatasync(int fd) {
  static auto* const real = Real<int(int)>("fdatasync");
  if (const int error = InjectedError(FaultedCall::Flush, fd)) {
    errno = error;
    return -1;
  }
  return real(fd);
}
