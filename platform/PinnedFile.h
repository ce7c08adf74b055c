#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Directory.h"
#include "platform/EntryName.h"
#include "platform/FileHandle.h"
#include "platform/FileIdentity.h"

namespace omrek {

// What a path leads to as it is listed: the path with the symbolic links of
// its folders resolved as they are now (the last name is kept: a link there
// is the entry itself), and the identity of what its last name names, or
// nullopt when nothing is there. Later walks follow that route with no link
// at all, so a folder swapped for a link afterwards leads nowhere.
struct PathNote {
  std::string route;
  std::optional<FileIdentity> identity;
  bool regularFile = false;
};
PathNote NotePath(const std::string& path);

// Notes paths as NotePath does, resolving and walking each folder once for
// a run of paths in the same folder: the paths of one list are noted as
// they are at one moment, not one moment each.
class PathNoter {
 public:
  PathNote Note(const std::string& path);

 private:
  // The last folder as given, as resolved, and opened (nullopt when it
  // could not be walked).
  std::optional<std::string> folder_;
  std::string resolved_;
  std::optional<Directory> walked_;
};

// The folder last walked to, kept for the next file reached in it: the
// files of one folder cost one walk per command, not one each. A folder
// swapped or moved meanwhile is still the one the walk reached, and a file
// in it is still acted on only while its entry names the file listed.
class FolderWalks {
 public:
  // The folder at `route`, walked with no link followed; raises IoError
  // when it cannot be. The files reached in it share the one descriptor.
  std::shared_ptr<const Directory> Walk(const std::string& route);
  // Walks afresh from the next Walk on: a new command.
  void Forget() { last_.reset(); }

 private:
  std::string route_;
  std::shared_ptr<const Directory> last_;
};

// One regular file, reached by walking its route one name at a time with no
// link followed, and held by the folder it was found in. Every operation
// acts on that entry only while it still names the file of the identity it
// was reached for; another file put in its place is never opened, changed
// or removed.
class PinnedFile {
 public:
  // nullopt when the route no longer leads, without a link, to a regular
  // file of that identity: the file has gone, as far as the caller knows.
  static std::optional<PinnedFile> Reach(const std::string& route, const FileIdentity& identity);
  // The same, its folder walked to through `walks`.
  static std::optional<PinnedFile> Reach(const std::string& route, const FileIdentity& identity, FolderWalks& walks);
  // The same for a file known by its file system's id (FileSystemId.h) and
  // inode, which stay the file's across a remount that changes its device.
  static std::optional<PinnedFile> ReachOnFileSystem(const std::string& route, const std::string& fileSystem,
                                                     std::uint64_t inode);
  // The id of the file system holding the route's folder, or, where that
  // is gone, its nearest folder that is still there, walked without links:
  // a drive no longer mounted where it was shows as another file system.
  static std::string NearestFileSystem(const std::string& route);

  // The attribute word (FileAttributes.h) of the entry when it was reached.
  std::uint32_t AttributesWhenReached() const;
  // Applies an attribute word; returns false, opening nothing, when it
  // would change nothing of the file as reached. Raises IoError when it
  // cannot.
  bool SetAttributes(std::uint32_t word) const;

  // Opens the file; "File not found" when its name now names another file.
  FileHandle Open(FileHandle::Access access) const;
  // Opens it for writing on the look that reached it (see
  // Directory::OpenSeenFile), for a caller that has let nothing run since:
  // the open still checks it is this file.
  FileHandle OpenAsReached() const;
  FileHandle OpenExclusive() const;

  // Wipes the file's name as WipeEntryName does. The folder is not flushed:
  // the blocks that reach the medium hold what the renames left.
  NameWiping WipeName();

  // Removes the name from its folder, provided it still names the file;
  // returns the names the file had just before, this one included.
  std::uint64_t Delete() const;

  // The folder the file was found in, for a flush after its name is gone.
  const std::shared_ptr<const Directory>& Folder() const { return folder_; }

  // How many names the file had when reached, this one included.
  std::uint64_t LinksWhenReached() const { return reached_.ownership.links; }

  // The file's length in bytes as it was when reached, read with no
  // opening of the file.
  std::uint64_t SizeWhenReached() const { return reached_.size; }

  // The allocation unit of the file system holding the file; 0 when it
  // cannot be measured.
  std::uint32_t ClusterSize() const { return folder_->ClusterSize(); }
  std::uint32_t ClusterSize(ClusterSizeMemo& memo) const { return folder_->ClusterSize(memo); }
  // Bytes the file system had given the file (a sparse file's holes take
  // none) when it was reached.
  std::uint64_t AllocatedBytesWhenReached() const { return reached_.allocatedBytes; }
  // Bytes free to this user on the file system holding the file; -1 when
  // it cannot be measured.
  std::int64_t FreeBytes() const { return folder_->FreeBytes(); }

 private:
  PinnedFile(std::shared_ptr<const Directory> folder, std::string name, const Directory::EntryFacts& reached);
  // The regular file the route's last name names, when `isTheFile` says it
  // is the one sought.
  static std::optional<PinnedFile> ReachIf(
      const std::string& route, const std::function<bool(const Directory&, const Directory::EntryFacts&)>& isTheFile,
      const std::function<std::shared_ptr<const Directory>(const std::string&)>& walk = WalkAlone);
  static std::shared_ptr<const Directory> WalkAlone(const std::string& route);
  FileHandle Checked(FileHandle file) const;

  std::shared_ptr<const Directory> folder_;
  std::string name_;
  FileIdentity identity_;
  Directory::EntryFacts reached_;
};

}  // namespace omrek
