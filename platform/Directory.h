#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/FileHandle.h"

namespace omrek {

class ClusterSizeMemo;

// The path of `name` inside `folder`, with one "/" between them also when
// the folder is a root ("/").
std::string PathInFolder(const std::string& folder, const std::string& name);
// The folder a path names its last name in, worked out as text: "/" for a
// name in the root, "." for a bare name.
std::string FolderOfPath(const std::string& path);

// The path with "." names, ".." names and repeated or trailing '/' worked
// out as text, as a file dialog shows a folder; links are not looked at.
std::string CleanPath(const std::string& path);

// The path with every link, "." and ".." in it resolved as the system
// does; the path itself when it leads nowhere.
std::string RealPath(const std::string& path);

// An open folder for walking a tree. Folders are opened inside their parent
// without following links, so a walk can never be led out of the tree by a
// link, whatever changes under it while it runs.
class Directory {
 public:
  enum class EntryKind { Folder, File, Other };  // Other: links, devices, FIFOs, sockets
  // What a look at an entry tells, not following a link.
  struct EntryFacts {
    FileIdentity identity;
    bool regularFile = false;
    FileOwnership ownership;
    // Bytes the file system has given the entry.
    std::uint64_t allocatedBytes = 0;
    // Its length in bytes.
    std::uint64_t size = 0;
    bool ownerWritable = false;
  };
  struct Entry {
    std::string name;
    EntryKind kind;
    // Something is mounted on it (a folder, or a single file bound over
    // another), of this file system or another: it shows before anything
    // is opened.
    bool mountPoint = false;
    // What the listing's look at it told, read without setting off an
    // automount; nullopt when it was not looked at (a mount point known from
    // the mount table) or gone by then.
    std::optional<EntryFacts> facts = std::nullopt;
  };

  // Raises IoError when the folder cannot be opened.
  static Directory Open(const std::string& path);
  // Opens the folder by walking `path` one name at a time from "/" (or from
  // the working folder for a relative path), following no symbolic link in
  // any of its names: a link anywhere on the way fails the walk, so a folder
  // that another user swaps for a link can never lead it elsewhere. Works
  // for paths of any length.
  static Directory Walk(const std::string& path);
  Directory OpenChild(const std::string& name) const;

  Directory(Directory&& other) noexcept;
  Directory& operator=(Directory&&) = delete;
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;
  ~Directory();

  // The entries in the order the file system gives them, without "." and
  // "..". Names beginning with a dot are hidden ones. The `mounted` names,
  // known from the mount table, are mount points and are not looked at: one
  // whose server has stopped would never answer.
  std::vector<Entry> Entries(const std::set<std::string>& mounted = {}) const;

  // The file system and the folder itself; a child on another device is a
  // mount point.
  std::uint64_t Device() const { return device_; }
  std::uint64_t Inode() const { return inode_; }
  // The mount it was reached through (0 where the kernel cannot say): a
  // child through another mount is a mount point, also of this file system.
  std::uint64_t MountId() const { return mountId_; }
  // See FileSystemId.h.
  std::string FileSystemId() const;

  // Makes the folder's entries (a file renamed into it) reach the medium.
  void Flush() const;

  // See FileHandle::OpenExclusive and OpenExisting.
  FileHandle OpenFileExclusive(const std::string& name) const {
    return FileHandle::OpenExclusiveIn(fd_, name, DiskDevice());
  }
  FileHandle OpenFile(const std::string& name, FileHandle::Access access) const {
    return FileHandle::OpenExistingIn(fd_, name, access, DiskDevice());
  }
  // Opens `name` for writing where a look at it has just shown `seen`: that
  // look stands for the one OpenFile makes first, provided it showed a
  // regular file on this folder's device and the folder is already known to
  // lie on a disk. Telling its file system may take long, and nothing may
  // run between the look and the open.
  FileHandle OpenSeenFile(const std::string& name, const EntryFacts& seen) const;

  // The entry `name` as it is now, not following a link; nullopt when there
  // is none.
  std::optional<EntryFacts> Examine(const std::string& name) const;
  // Whether `name` names the entry of `identity` now.
  bool Names(const std::string& name, const FileIdentity& identity) const;

  // How a rename within the folder went.
  enum class Rename {
    Done,         // in one step that could never replace another name
    DonePlainly,  // the file system cannot promise that: `to` was found free just before
    NameTaken,    // `to` exists already; nothing changed
    Unsupported,  // the file system cannot rename without a risk of replacing; nothing changed
  };
  // Renames the entry `from` to `to` within the folder, never knowingly over
  // another name. Raises IoError on any other failure.
  Rename RenameEntry(const std::string& from, const std::string& to) const;

  // Removes the entry `name` from the folder; a link goes, never its target.
  void RemoveEntry(const std::string& name) const;
  // The same, only while `name` still names the file of `identity`: one
  // put in its place since it was checked raises "File not found" and stays.
  // Returns the names the file had just before, this one included.
  std::uint64_t RemoveEntryOf(const std::string& name, const FileIdentity& identity) const;
  // Removes the empty folder `name`, only while it is the folder of
  // `identity`. Raises IoError ("File not found" for another one there, the
  // system's text for one that is not empty).
  void RemoveFolderOf(const std::string& name, const FileIdentity& identity) const;

  // The allocation unit of the file system the folder lies on; 0 when it
  // cannot be measured.
  std::uint32_t ClusterSize() const;
  // The same, measured once per file system in `memo`.
  std::uint32_t ClusterSize(ClusterSizeMemo& memo) const;
  // Bytes free to this user on the file system the folder lies on; -1 when
  // it cannot be measured.
  std::int64_t FreeBytes() const;

  // The folder's device when its file system is a disk's, not the
  // kernel's; looked at once, at the first call.
  std::optional<std::uint64_t> DiskDevice() const;

 private:
  explicit Directory(int fd);
  int fd_ = -1;
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  std::uint64_t mountId_ = 0;
  enum class FileSystemKind { Unknown, Disk, Kernel };
  // Atomic: the files of one folder may be opened on several threads.
  mutable std::atomic<FileSystemKind> fileSystemKind_ = FileSystemKind::Unknown;
};

}  // namespace omrek
