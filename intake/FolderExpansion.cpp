#include "intake/FolderExpansion.h"

#include <algorithm>
#include <cerrno>

#include "platform/IoError.h"
#include "platform/PinnedFile.h"

namespace omrek {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.ends_with('/')) path.pop_back();
  return path;
}

// "dir/." is dir, and "." the working folder. A path ending in ".." is
// refused: the kernel goes up from where a link on the way leads, not from
// where the user stood, so it can name a folder the user never meant.
std::string FolderNamed(const std::string& path) {
  std::string named = WithoutTrailingSlashes(path);
  while (named.size() > 2 && named.ends_with("/.")) named = WithoutTrailingSlashes(named.substr(0, named.size() - 2));
  if (named == "/.") return "/";
  if (named == ".." || named.ends_with("/..")) {
    throw IoError(EINVAL, "a folder named by \"..\" is not walked; name the folder itself");
  }
  if (named == ".") return RealPath(named);
  return named;
}

}  // namespace

FolderExpansion FolderExpansion::Begin(const std::string& path) {
  auto folder = std::make_shared<ExpandedFolder>();
  folder->path = FolderNamed(path);
  PathNote note = NotePath(folder->path);
  if (!note.identity) throw IoError::FromErrno(ENOENT);
  folder->route = std::move(note.route);
  Directory root = Directory::Walk(folder->route);
  // Swapped since it was noted: the walk would list another folder's files.
  if (FileIdentity{root.Device(), root.Inode()} != *note.identity) throw IoError::FromErrno(ENOENT);
  folder->identity = *note.identity;
  // Read before any entry is looked at, from where the folder is now.
  MountPointsInside mounts(folder->route);
  FolderExpansion expansion(std::move(folder), std::move(mounts));
  expansion.Enter(std::move(root), "");
  return expansion;
}

void FolderExpansion::Enter(Directory folder, std::string relative) {
  std::vector<Directory::Entry> entries = folder.Entries(mounts_.NamesIn(relative));
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  known_ += entries.size();
  frames_.push_back({std::move(folder), std::move(relative), std::move(entries)});
}

bool FolderExpansion::Step(std::size_t entries) {
  for (; entries > 0 && !frames_.empty(); --entries) {
    Frame& frame = frames_.back();
    if (frame.next == frame.entries.size()) {
      frames_.pop_back();
      continue;
    }
    const Directory::Entry& entry = frame.entries[frame.next++];
    ++seen_;
    // May enter a folder, which moves the frames.
    Take(frame.folder, entry, RelativeInside(frame.relative, entry.name));
  }
  return !frames_.empty();
}

void FolderExpansion::Finish() {
  while (Step(4096)) {
  }
}

void FolderExpansion::Take(const Directory& folder, const Directory::Entry& entry, const std::string& relative) {
  if (entry.mountPoint) {
    folder_->mountPoints.push_back(relative);
    return;
  }
  const auto& facts = entry.facts;
  if (!facts) return;  // gone since the listing
  if (entry.kind == Directory::EntryKind::Folder) {
    TakeFolder(folder, entry, relative);
  } else if (entry.kind == Directory::EntryKind::File && facts->regularFile) {
    files_.push_back({{PathInFolder(folder_->path, relative), PathInFolder(folder_->route, relative), facts->identity},
                      facts->size});
    bytes_ += facts->size;
    // Noted only for files with other names: the one name of any other
    // file is the one listed.
    if (facts->ownership.links > 1) folder_->namesInside[facts->identity].push_back(files_.back().file.path);
  } else {
    folder_->otherNames.push_back({relative, facts->identity});
  }
}

void FolderExpansion::TakeFolder(const Directory& parent, const Directory::Entry& entry, const std::string& relative) {
  try {
    Directory child = parent.OpenChild(entry.name);
    // Mounted there since the listing.
    if (child.Device() != parent.Device() || child.MountId() != parent.MountId()) {
      folder_->mountPoints.push_back(relative);
      return;
    }
    folder_->folders.push_back({relative, {child.Device(), child.Inode()}});
    Enter(std::move(child), relative);
  } catch (const IoError& failure) {
    folder_->unread.push_back({relative, failure.what()});
  }
}

std::vector<FoundFile> FolderExpansion::TakeFiles() && {
  for (FoundFile& found : files_) found.file.expandedFrom = folder_;
  return std::move(files_);
}

}  // namespace omrek
