#pragma once

#include <string>

namespace omrek::test {

// Disk faults on demand, for tests of what the program does when a write or
// a flush fails. A test executable that links the target
// omrek_fault_injection gets this file's own pwrite, fsync and fdatasync in
// front of the C library's, for every caller in the executable. While no
// fault is armed, or for a file outside the armed folder, a call goes
// straight through to the C library. Once armed, the `fromCall`-th call on
// a file under `folder` (counting from 1, only calls of that kind) and every
// later one fail with errno `error` and leave the file as it was. Writes and
// flushes are armed apart; one fault of each kind at a time.
//
//   InjectedFault flushes(FaultedCall::Flush, image.MountPoint(), EIO, 3);
//   ...  // the third flush of a file on the image fails, and all later ones
//
// The fault is disarmed when the object goes.
enum class FaultedCall {
  Write,  // pwrite
  Flush,  // fsync, fdatasync
};

// A slow disk instead: every call of that kind on a file under `folder`
// takes `milliseconds` longer, then goes through. Shares the slot of its kind
// with InjectedFault.
class SlowedCalls {
 public:
  SlowedCalls(FaultedCall call, const std::string& folder, int milliseconds);
  ~SlowedCalls();
  SlowedCalls(const SlowedCalls&) = delete;
  SlowedCalls& operator=(const SlowedCalls&) = delete;

 private:
  FaultedCall call_;
};

// A device that quietly stores something else: the `fromCall`-th write on
// a file under `folder` and every later one report success, but the first
// byte of each lands inverted.
class CorruptedWrites {
 public:
  CorruptedWrites(const std::string& folder, int fromCall = 1);
  ~CorruptedWrites();
  CorruptedWrites(const CorruptedWrites&) = delete;
  CorruptedWrites& operator=(const CorruptedWrites&) = delete;
};

class InjectedFault {
 public:
  InjectedFault(FaultedCall call, const std::string& folder, int error, int fromCall = 1);
  ~InjectedFault();
  InjectedFault(const InjectedFault&) = delete;
  InjectedFault& operator=(const InjectedFault&) = delete;

  // How many calls it has failed so far.
  int Failures() const;

 private:
  FaultedCall call_;
};

}  // namespace omrek::test
