#pragma once

namespace omrek {

// Tells when a file system is mounted or unmounted: the kernel marks the
// descriptor of its mount table with an urgent-data condition (POLLPRI,
// a Qt "exception" notifier) once after each change, so the event loop can
// watch it instead of polling the table. Reading it is not needed.
class MountWatch {
 public:
  // Opens the mount table; Descriptor() is -1 when it cannot be read.
  MountWatch();
  ~MountWatch();
  MountWatch(const MountWatch&) = delete;
  MountWatch& operator=(const MountWatch&) = delete;

  int Descriptor() const { return fd_; }

 private:
  int fd_;
};

}  // namespace omrek
