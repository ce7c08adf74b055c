#include "platform/IoError.h"

#include <cerrno>

namespace omrek {

namespace {

// Codes as the Windows run-time numbers them; the texts depend on these.
constexpr int kFileNotFound = 2;
constexpr int kInvalidFilename = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kSharingViolation = 32;
constexpr int kDiskFull = 101;

// Windows code for an errno value, or 0 when Windows has no like code.
int CodeForErrno(int err) {
  switch (err) {
    case ENOENT:
      return kFileNotFound;
    case ENAMETOOLONG:
    case ENOTDIR:
      return kInvalidFilename;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    default:
      return 0;
  }
}

}  // namespace

IoError::IoError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}

IoError IoError::FromErrno(int err) {
  // An unmapped errno keeps its own number; passing it through the Windows
  // table would turn EIO (5) into "File access denied".
  const int code = CodeForErrno(err);
  if (code == 0) return IoError(err, "I/O error " + std::to_string(err));
  return IoError(code, IoErrorText(code));
}

bool IoError::DiskFull() const { return code_ == kDiskFull; }

IoError IoError::SharingViolation() { return IoError(kSharingViolation, IoErrorText(kSharingViolation)); }

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
