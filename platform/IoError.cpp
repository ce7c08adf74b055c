#include "platform/IoError.h"

#include <algorithm>
#include <cerrno>
#include <iterator>

namespace omrek {

namespace {

// Codes as the Windows run-time numbers them; the texts depend on these.
constexpr int kFileNotFound = 2;
constexpr int kInvalidFilename = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kSharingViolation = 32;
constexpr int kDiskFull = 101;

// The failures the run-time has a text for; the error box and status
// lines show these words rather than a number.
constexpr ErrnoCode kErrnoCodes[] = {
    {ENOENT, kFileNotFound},     {ENAMETOOLONG, kInvalidFilename},
    {ENOTDIR, kInvalidFilename}, {EMFILE, kTooManyOpenFiles},
    {ENFILE, kTooManyOpenFiles}, {EACCES, kAccessDenied},
    {EPERM, kAccessDenied},      {ENOSPC, kDiskFull},
    {EDQUOT, kDiskFull},
};

// Windows code for an errno value, or 0 when Windows has no like code.
int CodeForErrno(int err) {
  const auto* found = std::find_if(std::begin(kErrnoCodes), std::end(kErrnoCodes),
                                   [err](const ErrnoCode& entry) { return entry.err == err; });
  return found == std::end(kErrnoCodes) ? 0 : found->code;
}

}  // namespace

IoError::IoError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}

IoError IoError::FromErrno(int err) {
  // An unmapped errno keeps its own number; passing it through the Windows
  // table would turn EIO (5) into "File access denied".
  const int code = CodeForErrno(err);
  if (code != 0) return IoError(code, IoErrorText(code));
  // The run-time has no word for it, and a number tells the user nothing
  // of what to change.
  IoError error(err, err == EROFS ? "the file system is read-only" : "I/O error " + std::to_string(err));
  error.ownNumber_ = true;
  return error;
}

std::span<const ErrnoCode> ErrnoCodes() { return kErrnoCodes; }

// A free-space wipe ends its filling on a full disk: an unreachable network
// share must not read as one.
bool IoError::DiskFull() const { return code_ == kDiskFull && !ownNumber_; }

bool IoError::NotFound() const { return code_ == kFileNotFound && !ownNumber_; }

IoError IoError::SharingViolation() { return IoError(kSharingViolation, "the file is in use by another writer"); }

std::string IoErrorText(int code) {
  switch (code) {
    case kFileNotFound:
      return "File not found";
    case kInvalidFilename:
      return "Invalid filename";
    case kTooManyOpenFiles:
      return "Too many open files";
    case kAccessDenied:
      return "File access denied";
    case kDiskFull:
      return "Disk full";
    default:
      return "I/O error " + std::to_string(code);
  }
}

}  // namespace omrek
