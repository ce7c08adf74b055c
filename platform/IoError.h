#pragma once

#include <span>
#include <stdexcept>
#include <string>

namespace omrek {

// A failed file or volume operation. Carries the system's error code and the
// run-time text the user sees in a status line or the error box.
class IoError : public std::runtime_error {
 public:
  IoError(int code, const std::string& text);

  // Translates an errno value into the code and text a Windows run-time
  // would have reported for the same failure; a read-only file system,
  // which it has no text for, is said in words.
  static IoError FromErrno(int err);

  // Another program holds the file; Windows calls this a sharing violation
  // (code 32).
  static IoError SharingViolation();

  int Code() const { return code_; }
  // "Disk full": no room left, or the user's quota spent.
  bool DiskFull() const;
  // "File not found": nothing has the name, or not the file looked for.
  bool NotFound() const;

 private:
  int code_;
  // Set when code_ is an errno value without a Windows code: it may then
  // equal an unrelated Windows code (ENETUNREACH is 101, as is "Disk full").
  bool ownNumber_ = false;
};

// An errno value and the Windows run-time code it reads as.
struct ErrnoCode {
  int err;
  int code;
};

// Every errno that has a like Windows code. Any other keeps its own number.
std::span<const ErrnoCode> ErrnoCodes();

// The run-time text for a Windows-style error code: 2 "File not found",
// 5 "File access denied", 101 "Disk full", else "I/O error %d".
std::string IoErrorText(int code);

}  // namespace omrek
