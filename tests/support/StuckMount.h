#pragma once

#include <sys/types.h>

#include <string>

namespace omrek::test {

// A FUSE mount whose server a test can stop, as a stopped FUSE daemon or a
// dead network share is: every stat, statvfs or open of it then waits until
// the server goes on. The server is the power-cut drive's daemon (see
// PowerCutImage.h) serving a small file. Every program that lists drives
// would wait on it, other tests' and other users' too, so it is mounted only
// in a private mount namespace (see MountsOfThisProcessOnly). The daemon is
// killed with its starter, and the end kills it and unmounts lazily, so the
// mount never outlives the test, failed or not. Needs root, /dev/fuse and
// libfuse3 at build time; otherwise Mounted() is false and Reason() says why.
class StuckMount {
 public:
  StuckMount();
  ~StuckMount();
  StuckMount(const StuckMount&) = delete;
  StuckMount& operator=(const StuckMount&) = delete;

  bool Mounted() const { return server_ > 0; }
  const std::string& Reason() const { return reason_; }
  const std::string& MountPoint() const { return mountPoint_; }

  // Returns once the server is stopped: from then on the mount answers
  // nothing.
  void StopServer();
  // Lets the server go on: the mount answers again.
  void ContinueServer();

 private:
  std::string folder_;
  std::string mountPoint_;
  std::string reason_;
  pid_t server_ = -1;
};

// Gives this process and its children a mount namespace of their own, in
// which mounts made from now on are seen by no other process and vanish
// with the last of them. False when the system does not allow it.
bool MountsOfThisProcessOnly();

}  // namespace omrek::test
