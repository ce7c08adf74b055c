#include "platform/FileHandle.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>

#include "platform/FileAttributes.h"
#include "platform/FileSystemId.h"
#include "platform/IoError.h"
#include "platform/KernelFileSystem.h"

namespace omrek {

namespace {

[[noreturn]] void ThrowErrno() { throw IoError::FromErrno(errno); }

// The status flags (those F_SETFL changes) every descriptor here is opened
// with, so switching the cache bypass needs no asking first.
constexpr int kStatusFlags = O_NONBLOCK;

// -1 with errno set when the open fails. A terminal put at the name is
// never made the process's controlling one.
int OpenRetrying(int folder, const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::openat(folder, path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | kStatusFlags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int OpenOrThrow(int folder, const std::string& path, int flags, mode_t mode = 0) {
  const int fd = OpenRetrying(folder, path, flags, mode);
  if (fd < 0) ThrowErrno();
  return fd;
}

int OpenOrThrow(const std::string& path, int flags, mode_t mode = 0) {
  return OpenOrThrow(AT_FDCWD, path, flags, mode);
}

// When another process opens a leased file, the kernel signals the holder
// with SIGIO, whose default action ends the process. The signal is survived
// and its time noted: the opener waits until the holder lets go, but only
// for the system's lease-break time, after which the lease is gone.
std::atomic<std::int64_t> lastLeaseBreak{0};

std::int64_t MonotonicNanoseconds() {
  struct timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// How long an opener waits for a lease to be let go, less a margin for the
// holder's own last steps.
std::int64_t SafeBreakNanoseconds() {
  static const std::int64_t safe = [] {
    std::int64_t seconds = 45;
    if (FILE* setting = std::fopen("/proc/sys/fs/lease-break-time", "re")) {
      long long value = 0;
      if (std::fscanf(setting, "%lld", &value) == 1 && value > 0) seconds = value;
      std::fclose(setting);
    }
    return seconds * 1000000000 - std::min<std::int64_t>(1000000000, seconds * 500000000);
  }();
  return safe;
}

void SurviveLeaseBreaks() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_handler = [](int) { lastLeaseBreak.store(MonotonicNanoseconds()); };
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGIO, &action, nullptr);
  });
}

struct stat StatOrThrow(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) ThrowErrno();
  return st;
}

bool IsWritableRegularFile(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) != 0; }

// Any write to a file makes the kernel take away its file capabilities, and
// a write by anyone but root its set-user-ID and set-group-ID bits: the
// program would run without the rights it was installed with. A file the
// slack operations would only lengthen and cut back must keep them.
bool CarriesPrivileges(int fd, const struct stat& st) {
  return (st.st_mode & (S_ISUID | S_ISGID)) != 0 || ::fgetxattr(fd, "security.capability", nullptr, 0) >= 0;
}

void RefuseKernelFile(int fd) {
  if (const auto fileSystem = KernelFileSystemOf(fd)) throw NotOnDisk(*fileSystem);
}

struct OpenedFile {
  int fd;
  struct stat facts;
};

// Why the kernel refused `name` for writing. An immutable or append-only
// file (the attributes FS_IOC_GETFLAGS reads) refuses even root, with the
// same EPERM as a missing right: its attributes tell which, so the user
// knows what to change. They are read by a look that opens nothing, as the
// name may name a device by now.
[[noreturn]] void ThrowWriteRefusal(int folder, const std::string& name, int err) {
  struct statx stx {};
  if (err == EPERM && ::statx(folder, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, 0, &stx) == 0) {
    const auto has = [&stx](std::uint64_t attribute) {
      return (stx.stx_attributes_mask & attribute) != 0 && (stx.stx_attributes & attribute) != 0;
    };
    const int code = IoError::FromErrno(EPERM).Code();
    if (has(STATX_ATTR_IMMUTABLE)) throw IoError(code, "the file is immutable");
    if (has(STATX_ATTR_APPEND)) throw IoError(code, "the file is only appendable");
  }
  throw IoError::FromErrno(err);
}

// Opens for writing the file a look at `name` has just shown a regular file
// on a disk: "File not found" when the name names another by then.
OpenedFile OpenLookedAt(int folder, const std::string& name, const FileIdentity& looked) {
  const int fd = OpenRetrying(folder, name, O_RDWR, 0);
  if (fd < 0) ThrowWriteRefusal(folder, name, errno);
  OpenedFile opened{fd, {}};
  if (::fstat(opened.fd, &opened.facts) != 0 || opened.facts.st_dev != looked.device ||
      opened.facts.st_ino != looked.inode) {
    ::close(opened.fd);
    throw IoError::FromErrno(ENOENT);
  }
  return opened;
}

// Opens `name` for writing only once a descriptor that cannot read or write
// it has shown a regular file on a disk: a kernel file, device or FIFO is
// never opened for writing at all, since for some the open alone acts.
// Raises "File not found" when the name changes files in between.
OpenedFile OpenForWriting(int folder, const std::string& name, std::optional<std::uint64_t> diskDevice) {
  const int look = OpenOrThrow(folder, name, O_PATH);
  struct stat before {};
  const bool looked = ::fstat(look, &before) == 0;
  const bool regular = looked && S_ISREG(before.st_mode);
  // A look that failed leaves nothing to open: refused below as not regular.
  const std::optional<std::string> kernel =
      looked && before.st_dev != diskDevice ? KernelFileSystemOf(look, before.st_dev) : std::nullopt;
  ::close(look);
  if (kernel) throw NotOnDisk(*kernel);
  if (!regular) throw IoError::FromErrno(EACCES);
  return OpenLookedAt(folder, name, {before.st_dev, before.st_ino});
}

FileIdentity IdentityOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

std::uint32_t EffectiveUser() {
  static const uid_t user = ::geteuid();
  return user;
}

NotOnDisk::NotOnDisk(const std::string& fileSystem)
    : IoError(IoError::FromErrno(EACCES).Code(), "not a file on a disk: " + fileSystem) {}

FileHandle FileHandle::OpenExisting(const std::string& path, Access access) {
  return OpenExistingIn(AT_FDCWD, path, access);
}

FileHandle FileHandle::OpenExistingIn(int folder, const std::string& name, Access access,
                                      std::optional<std::uint64_t> diskDevice) {
  if (access == Access::Read) return FileHandle(OpenOrThrow(folder, name, O_RDONLY));
  return OpenForWritingIn(folder, name, diskDevice, std::nullopt);
}

FileHandle FileHandle::OpenForWritingIn(int folder, const std::string& name, std::optional<std::uint64_t> diskDevice,
                                        const std::optional<FileIdentity>& seen) {
  const OpenedFile opened =
      seen && seen->device == diskDevice ? OpenLookedAt(folder, name, *seen) : OpenForWriting(folder, name, diskDevice);
  FileHandle file(opened.fd, IdentityOf(opened.facts));
  if (!IsWritableRegularFile(opened.facts)) throw IoError::FromErrno(EACCES);
  return file;
}

FileHandle FileHandle::OpenExclusive(const std::string& path) { return OpenExclusiveIn(AT_FDCWD, path); }

FileHandle FileHandle::OpenExclusiveIn(int folder, const std::string& name, std::optional<std::uint64_t> diskDevice) {
  SurviveLeaseBreaks();
  const OpenedFile opened = OpenForWriting(folder, name, diskDevice);
  FileHandle file(opened.fd, IdentityOf(opened.facts));
  if (!IsWritableRegularFile(opened.facts) || CarriesPrivileges(file.fd_, opened.facts)) {
    throw IoError::FromErrno(EACCES);
  }
  if (::fcntl(file.fd_, F_SETLEASE, F_WRLCK) != 0) throw IoError::SharingViolation();
  file.leased_ = true;
  return file;
}

FileHandle FileHandle::Create(const std::string& path) {
  // Owner only: a filler file or a log of other users' paths is nobody
  // else's business.
  FileHandle file(OpenOrThrow(path, O_RDWR | O_CREAT | O_TRUNC, 0600));
  if (!S_ISREG(StatOrThrow(file.fd_).st_mode)) throw IoError::FromErrno(EACCES);
  return file;
}

std::optional<FileHandle> FileHandle::CreateNew(const std::string& path) {
  const int fd = OpenRetrying(AT_FDCWD, path, O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0 && errno == EEXIST) return std::nullopt;
  if (fd < 0) ThrowErrno();
  return FileHandle(fd);
}

void FileHandle::Delete(const std::string& path) {
  if (::unlink(path.c_str()) != 0) ThrowErrno();
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      identity_(std::exchange(other.identity_, std::nullopt)),
      leased_(std::exchange(other.leased_, false)),
      bypass_(other.bypass_.exchange(false)),
      bypassedOnce_(std::exchange(other.bypassedOnce_, false)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    ReleaseLease();
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    identity_ = std::exchange(other.identity_, std::nullopt);
    leased_ = std::exchange(other.leased_, false);
    bypass_ = other.bypass_.exchange(false);
    bypassedOnce_ = std::exchange(other.bypassedOnce_, false);
  }
  return *this;
}

FileHandle::~FileHandle() {
  ReleaseLease();
  if (fd_ >= 0) ::close(fd_);
}

void FileHandle::ReleaseLease() {
  if (leased_) ::fcntl(fd_, F_SETLEASE, F_UNLCK);
  leased_ = false;
}

FileHandle::LeaseState FileHandle::Lease() const {
  if (!leased_) return LeaseState::Lost;
  if (::fcntl(fd_, F_GETLEASE) == F_WRLCK) return LeaseState::Held;
  const std::int64_t since = MonotonicNanoseconds() - lastLeaseBreak.load();
  return since < SafeBreakNanoseconds() ? LeaseState::Breaking : LeaseState::Lost;
}

std::uint64_t FileHandle::Size() const { return static_cast<std::uint64_t>(StatOrThrow(fd_).st_size); }

FileIdentity FileHandle::Identity() const { return identity_ ? *identity_ : IdentityOf(StatOrThrow(fd_)); }

std::string FileHandle::FileSystemId() const { return FileSystemIdOfOpen(fd_); }

FileOwnership FileHandle::Ownership() const {
  const struct stat st = StatOrThrow(fd_);
  return {st.st_uid == EffectiveUser(), static_cast<std::uint64_t>(st.st_nlink)};
}

std::uint64_t FileHandle::AllocatedBytes() const {
  return static_cast<std::uint64_t>(StatOrThrow(fd_).st_blocks) * 512;
}

bool FileHandle::SharesBlocks() const {
  // A small file has one extent: one call. A larger one is asked in batches.
  constexpr std::uint32_t kBatch = 32;
  alignas(struct fiemap) unsigned char buffer[sizeof(struct fiemap) + kBatch * sizeof(struct fiemap_extent)];
  auto* map = reinterpret_cast<struct fiemap*>(buffer);
  std::uint64_t start = 0;
  // Only the first call writes the file's cached data out; later ones find
  // nothing left to write.
  std::uint32_t flags = FIEMAP_FLAG_SYNC;
  for (;;) {
    *map = {};
    map->fm_start = start;
    map->fm_length = FIEMAP_MAX_OFFSET - start;
    map->fm_flags = flags;
    map->fm_extent_count = kBatch;
    if (::ioctl(fd_, FS_IOC_FIEMAP, map) != 0) {
      // tmpfs, network and FUSE file systems keep no extents to ask about.
      if (errno == EOPNOTSUPP) return false;
      ThrowErrno();
    }
    flags = 0;
    const std::uint32_t mapped = map->fm_mapped_extents;
    if (mapped == 0) return false;
    for (std::uint32_t i = 0; i < mapped; ++i) {
      if ((map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) != 0) return true;
    }
    const struct fiemap_extent& last = map->fm_extents[mapped - 1];
    if ((last.fe_flags & FIEMAP_EXTENT_LAST) != 0) return false;
    start = last.fe_logical + last.fe_length;
  }
}

void FileHandle::SetAttributes(std::uint32_t word) {
  const struct stat st = StatOrThrow(fd_);
  if (!S_ISREG(st.st_mode)) throw IoError::FromErrno(EACCES);
  // A kernel file's mode is the kernel's setting, which root could change.
  RefuseKernelFile(fd_);
  const mode_t mode =
      (word & FileAttribute::ReadOnly) != 0 ? st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : st.st_mode | S_IWUSR;
  if (mode != st.st_mode && ::fchmod(fd_, mode & 07777) != 0) ThrowErrno();
}

bool FileHandle::BypassCache() {
  bypass_ = ::fcntl(fd_, F_SETFL, kStatusFlags | O_DIRECT) == 0;
  bypassedOnce_ = bypassedOnce_ || bypass_;
  return bypass_;
}

bool FileHandle::StopBypass(bool wasOn) const {
  // Another thread's read or write may have stopped it meanwhile: the call
  // that was refused is still worth one more try.
  if (!wasOn) return false;
  bypass_ = false;
  return ::fcntl(fd_, F_SETFL, kStatusFlags) == 0;
}

std::size_t FileHandle::ReadAt(void* buffer, std::size_t count, std::uint64_t offset) const {
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const bool bypassed = bypass_;
    const ssize_t n = ::pread(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    // The device cannot take this place or length directly.
    if (n < 0 && errno == EINVAL && StopBypass(bypassed)) continue;
    if (n < 0) ThrowErrno();
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void FileHandle::WriteAt(const void* buffer, std::size_t count, std::uint64_t offset, std::size_t* written) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::size_t done = 0;
  if (written != nullptr) *written = 0;
  while (done < count) {
    const bool bypassed = bypass_;
    const ssize_t n = ::pwrite(fd_, bytes + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EINVAL && StopBypass(bypassed)) continue;
    if (n < 0) ThrowErrno();
    // A write that makes no progress and reports no error means no room.
    if (n == 0) throw IoError::FromErrno(ENOSPC);
    done += static_cast<std::size_t>(n);
    if (written != nullptr) *written = done;
  }
}

void FileHandle::SetLength(std::uint64_t length) {
  int rc;
  do {
    rc = ::ftruncate(fd_, static_cast<off_t>(length));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) ThrowErrno();
}

FileTime FileHandle::LastWriteTime() const {
  const struct stat st = StatOrThrow(fd_);
  return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

FileTime FileHandle::ChangeTime() const {
  const struct stat st = StatOrThrow(fd_);
  return {st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
}

FileTime FileHandle::BirthTime() const {
  struct statx facts {};
  if (::statx(fd_, "", AT_EMPTY_PATH, STATX_BTIME, &facts) != 0) ThrowErrno();
  if ((facts.stx_mask & STATX_BTIME) == 0) return {};
  return {facts.stx_btime.tv_sec, facts.stx_btime.tv_nsec};
}

void FileHandle::SetLastWriteTime(const FileTime& time) {
  const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(time.seconds), time.nanoseconds}};
  if (::futimens(fd_, times) != 0) ThrowErrno();
}

void FileHandle::Flush() {
  if ((bypassedOnce_ ? ::fdatasync(fd_) : ::fsync(fd_)) != 0) ThrowErrno();
}

void FileHandle::StartWriteback(std::uint64_t offset, std::uint64_t length) {
  // Written around the cache, the data is on its way already.
  if (bypass_) return;
  ::sync_file_range(fd_, static_cast<off64_t>(offset), static_cast<off64_t>(length), SYNC_FILE_RANGE_WRITE);
}

void FileHandle::WriteOut(std::uint64_t offset, std::uint64_t length) {
  constexpr unsigned kWait = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
  if (::sync_file_range(fd_, static_cast<off64_t>(offset), static_cast<off64_t>(length), kWait) != 0) ThrowErrno();
}

void FileHandle::RestrictToOwner() {
  if (::fchmod(fd_, S_IRUSR | S_IWUSR) != 0) ThrowErrno();
}

void FileHandle::DropCachedPages() { ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED); }

void FileHandle::FlushFileSystem() {
  if (::syncfs(fd_) != 0) ThrowErrno();
}

void FileHandle::Close() {
  // The descriptor is gone after close() whatever it reports, so it is never
  // closed twice.
  ReleaseLease();
  const int fd = std::exchange(fd_, -1);
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) ThrowErrno();
}

}  // namespace omrek
