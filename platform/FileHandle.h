#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace omrek {

// A last-write time, to the nanosecond.
struct FileTime {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  bool operator==(const FileTime&) const = default;
};

// An open file that the program owns and closes on every path. Positions and
// sizes are 64-bit. Every failure raises IoError.
class FileHandle {
 public:
  enum class Access { Read, ReadWrite };

  // Opens an existing file. A symbolic link is never followed and opening
  // never blocks on a FIFO. For ReadWrite only a regular file whose owner
  // write bit is set is accepted: anything else fails with "File access
  // denied", even for root, so a read-only file is never written by mistake.
  static FileHandle OpenExisting(const std::string& path, Access access);

  // Opens an existing regular file for reading and writing only while no
  // other process has it open, and keeps it so: the kernel's write lease
  // makes anyone who opens it meanwhile wait until this handle lets go. A
  // file in use (or on a file system without leases) fails with "I/O error
  // 32", as a sharing violation would on Windows; a read-only file, or one
  // whose set-ID bits or file capabilities a write would strip, with "File
  // access denied". `folder`, when given, is an open folder the name
  // is looked up in, so no link on the way can redirect the open.
  static FileHandle OpenExclusive(const std::string& path);
  static FileHandle OpenExclusiveIn(int folder, const std::string& name);

  // Creates the file (readable by its owner only), or empties it if it
  // exists, and opens it for reading and writing.
  static FileHandle Create(const std::string& path);

  static void Delete(const std::string& path);

  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  bool IsOpen() const { return fd_ >= 0; }
  std::uint64_t Size() const;
  // The file system the file lies on.
  std::uint64_t Device() const;

  // Reads up to `count` bytes at `offset`; fewer at the end of the file,
  // which is not an error.
  std::size_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) const;

  // Writes all `count` bytes at `offset`, growing the file as needed. When
  // it fails part-way, `written` (if given) tells how many bytes did land.
  void WriteAt(const void* buffer, std::size_t count, std::uint64_t offset, std::size_t* written = nullptr);

  void SetLength(std::uint64_t length);

  FileTime LastWriteTime() const;
  void SetLastWriteTime(const FileTime& time);

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

  // Flushes every file of this file's file system to the medium.
  void FlushFileSystem();

  void Close();

 private:
  explicit FileHandle(int fd) : fd_(fd) {}
  void ReleaseLease();

  int fd_ = -1;
  bool leased_ = false;
};

}  // namespace omrek
