#include "platform/JournalCheckpoint.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/IoError.h"

namespace omrek {

namespace {

// The ioctl is not in the C library's kernel headers of every distribution.
constexpr unsigned long kExt4Checkpoint = _IOW('f', 43, std::uint32_t);
constexpr std::uint32_t kZeroOut = 0x2;
constexpr std::uint32_t kDryRun = 0x4;

constexpr unsigned long kExt4Magic = 0xEF53;  // ext2, ext3 and ext4 alike

struct UnclearableJournal {
  unsigned long magic;
  const char* name;
};
constexpr UnclearableJournal kUnclearable[] = {
    {0x58465342, "XFS"},
    {0x3153464A, "JFS"},
    {0x52654973, "ReiserFS"},
    {0x7366746E, "NTFS"},
};

constexpr const char* kMayHold = "its journal may still hold names and old metadata: ";

std::string WhyUncleared(int error) {
  switch (error) {
    case EPERM:
    case EACCES:
      return std::string(kMayHold) + "clearing it needs root";
    case ENOTTY:
    case EINVAL:
    case EOPNOTSUPP:
      return std::string(kMayHold) + "this kernel cannot clear it (Linux 5.14 and later can)";
    default:
      return std::string(kMayHold) + "clearing it failed (" + IoError::FromErrno(error).what() + ")";
  }
}

// `cleared`: what to answer where the ioctl did what `flags` asked.
std::optional<std::string> Checkpoint(const std::string& folder, std::uint32_t flags,
                                      std::optional<std::string> cleared = std::nullopt) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::string(kMayHold) + "its folder cannot be opened (" + IoError::FromErrno(errno).what() + ")";
  std::optional<std::string> why;
  struct statfs facts {};
  if (::fstatfs(fd, &facts) != 0) {
    why = WhyUncleared(errno);
  } else if (static_cast<unsigned long>(facts.f_type) == kExt4Magic) {
    // ENODEV: no journal (ext2, or ext4 made without one), nothing to clear.
    if (::ioctl(fd, kExt4Checkpoint, &flags) == 0) {
      why = std::move(cleared);
    } else if (errno != ENODEV) {
      why = WhyUncleared(errno);
    }
  } else {
    for (const UnclearableJournal& journal : kUnclearable) {
      if (static_cast<unsigned long>(facts.f_type) == journal.magic) {
        why = std::string(kMayHold) + journal.name + " offers no way to clear it";
      }
    }
  }
  ::close(fd);
  return why;
}

}  // namespace

std::optional<std::string> ClearJournal(const std::string& folder) { return Checkpoint(folder, kZeroOut); }

void WriteJournalOut(const std::string& folder) { Checkpoint(folder, 0); }

std::optional<std::string> JournalLeftUncleared(const std::string& folder) {
  return Checkpoint(folder, kZeroOut | kDryRun);
}

std::optional<std::string> JournalLeftByEnding(const std::string& folder) {
  return Checkpoint(folder, kZeroOut | kDryRun,
                    std::string(kMayHold) + "the program was asked to end before clearing it");
}

}  // namespace omrek
