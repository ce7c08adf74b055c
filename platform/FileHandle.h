#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileIdentity.h"
#include "platform/IoError.h"

namespace omrek {

// A file refused before it was opened for writing or changed: it lies on a
// file system of the kernel's own (proc, sysfs and the like), whose files
// are the kernel's settings and state, not data on a disk.
class NotOnDisk : public IoError {
 public:
  explicit NotOnDisk(const std::string& fileSystem);
};

// A last-write time, to the nanosecond.
struct FileTime {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  bool operator==(const FileTime&) const = default;
};

// Whose a file is and how many names it has.
struct FileOwnership {
  bool runningUsers = false;  // owned by the user this process runs as
  std::uint64_t links = 0;
};

// The user this process runs as: asked once, as the program never changes it.
std::uint32_t EffectiveUser();

// An open file that the program owns and closes on every path. Positions and
// sizes are 64-bit. Every failure raises IoError.
class FileHandle {
 public:
  enum class Access { Read, ReadWrite };

  // Opens an existing file. A symbolic link is never followed and opening
  // never blocks on a FIFO. For ReadWrite only a regular file whose owner
  // write bit is set is accepted: anything else fails with "File access
  // denied", even for root, so a read-only file is never written by mistake;
  // a file of the kernel's own file systems fails with NotOnDisk before it
  // is opened for writing. OpenExclusive refuses the same.
  static FileHandle OpenExisting(const std::string& path, Access access);
  // The same for `name` inside the open folder `folder`. `diskDevice`: the
  // device of the folder's file system, where the caller has found it a
  // disk's and holds the folder open (so no other file system can have the
  // number meanwhile): a file on it needs no look at its file system.
  static FileHandle OpenExistingIn(int folder, const std::string& name, Access access,
                                   std::optional<std::uint64_t> diskDevice = std::nullopt);

  // Opens an existing regular file for reading and writing only while no
  // other process has it open, and keeps it so: the kernel's write lease
  // makes anyone who opens it meanwhile wait until this handle lets go. A
  // file in use (or on a file system without leases) fails with "I/O error
  // 32", as a sharing violation would on Windows; a read-only file, or one
  // whose set-ID bits or file capabilities a write would strip, with "File
  // access denied". `folder`, when given, is an open folder the name
  // is looked up in, so no link on the way can redirect the open.
  static FileHandle OpenExclusive(const std::string& path);

  // What became of the lease of an OpenExclusive handle. Breaking: another
  // process has asked to open the file and waits until this handle lets go,
  // so the file is still this handle's alone for the moment. Lost: the wait
  // has run out (or there was no lease), and the other process may have
  // written to the file.
  enum class LeaseState { Held, Breaking, Lost };
  LeaseState Lease() const;
  static FileHandle OpenExclusiveIn(int folder, const std::string& name,
                                    std::optional<std::uint64_t> diskDevice = std::nullopt);

  // Creates the file (readable by its owner only), or empties it if it
  // exists, and opens it for reading and writing.
  static FileHandle Create(const std::string& path);
  // Creates a new file (readable by its owner only) and opens it for reading
  // and writing; nullopt when anything has the name already, a link or a
  // file another user made included, which is left as it is.
  static std::optional<FileHandle> CreateNew(const std::string& path);

  static void Delete(const std::string& path);

  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  bool IsOpen() const { return fd_ >= 0; }

  // From now on reads and writes go straight between the device and the
  // caller's buffer, around the page cache, where the file system allows it
  // (returns whether it does). Buffers must then be aligned to 4096 bytes,
  // and places and lengths to the device's blocks: a read or write the
  // device refuses that way goes through the page cache instead, and so do
  // all later ones. The bytes in the file are the same either way. Flush
  // then waits for the data only (fdatasync): the time stamps need no
  // journal commit each time.
  bool BypassCache();
  std::uint64_t Size() const;
  FileIdentity Identity() const;
  // See FileSystemId.h: the same file system after a remount, where
  // Identity().device may differ.
  std::string FileSystemId() const;
  FileOwnership Ownership() const;
  // Bytes the file system has given to the file.
  std::uint64_t AllocatedBytes() const;
  // Whether another file or a snapshot shares any of the file's blocks (a
  // reflink copy, a btrfs snapshot, deduplicated data), so that its content
  // outlives it there whatever is written here. Writes the file's cached
  // data out first, so blocks not yet placed are counted. False where the
  // file system cannot tell.
  bool SharesBlocks() const;

  // Reads up to `count` bytes at `offset`; fewer at the end of the file,
  // which is not an error. One thread may read while another writes
  // elsewhere in the file.
  std::size_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) const;

  // Writes all `count` bytes at `offset`, growing the file as needed. When
  // it fails part-way, `written` (if given) tells how many bytes did land.
  void WriteAt(const void* buffer, std::size_t count, std::uint64_t offset, std::size_t* written = nullptr);

  void SetLength(std::uint64_t length);

  FileTime LastWriteTime() const;
  // When the file or its facts last changed (ctime): any write, cut or time
  // set moves it on, and no call can set it back.
  FileTime ChangeTime() const;
  // When the file was made; a file made later in a freed inode's place has
  // another. Zero where the file system keeps no such time.
  FileTime BirthTime() const;
  void SetLastWriteTime(const FileTime& time);

  // Applies an attribute word (see FileAttributes.h) to the open regular
  // file: clearing read-only sets the owner write bit, setting it clears
  // the write bits. Anything but a regular file fails with "File access
  // denied", a file of the kernel's own file systems with NotOnDisk.
  void SetAttributes(std::uint32_t word);

  // Returns only once the written data has reached the medium.
  void Flush();

  // Starts writing a range to the medium without waiting for it, so the
  // disk works while the program prepares the next data. Only a head start
  // for Flush, which still has to follow.
  void StartWriteback(std::uint64_t offset, std::uint64_t length);

  // Writes a range out to the device and waits until the device has it,
  // without the journal commit and cache flush of Flush: the bytes are on
  // their way to the medium in their place, and one FlushFileSystem later
  // makes sure of all of them at once.
  void WriteOut(std::uint64_t offset, std::uint64_t length);

  // Makes the file readable and writable by its owner only.
  void RestrictToOwner();

  // Lets the page cache forget the file's clean pages, so the next read
  // comes from the device.
  void DropCachedPages();

  // Flushes every file of this file's file system to the medium.
  void FlushFileSystem();

  void Close();

 private:
  // Only a folder, which knows what its own look at a name showed, may
  // open on that look.
  friend class Directory;
  // OpenExistingIn for ReadWrite. `seen`, when given, is a regular file
  // that a look at the name, following no link, has just shown: where it
  // lies on `diskDevice` that look stands for the one made before the open;
  // otherwise the full look runs.
  static FileHandle OpenForWritingIn(int folder, const std::string& name, std::optional<std::uint64_t> diskDevice,
                                     const std::optional<FileIdentity>& seen);

  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(int fd, FileIdentity identity) : fd_(fd), identity_(identity) {}
  void ReleaseLease();

  // Gives up the cache bypass for good; false when it was not on when the
  // refused call began. Const: it changes how the handle reads, not what.
  bool StopBypass(bool wasOn) const;

  int fd_ = -1;
  // An open file's device and inode never change: kept when the opening
  // has looked at them already.
  std::optional<FileIdentity> identity_;
  bool leased_ = false;
  // Atomic: a pass reads ahead on one thread while it writes on another.
  mutable std::atomic<bool> bypass_ = false;
  bool bypassedOnce_ = false;
};

}  // namespace omrek
