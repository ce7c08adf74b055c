#include "platform/PinnedFile.h"

#include <memory>
#include <utility>

#include "platform/FileAttributes.h"
#include "platform/IoError.h"

namespace omrek {

namespace {

struct SplitPath {
  std::string folder;
  std::string name;
};

SplitPath Split(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return {FolderOfPath(path), slash == std::string::npos ? path : path.substr(slash + 1)};
}

bool IsPlainName(const std::string& name) { return !name.empty() && name != "." && name != ".."; }

}  // namespace

PathNote NotePath(const std::string& path) { return PathNoter().Note(path); }

PathNote PathNoter::Note(const std::string& path) {
  const SplitPath parts = Split(path);
  if (folder_ != parts.folder) {
    folder_ = parts.folder;
    resolved_ = RealPath(parts.folder);
    walked_.reset();
    try {
      walked_.emplace(Directory::Walk(resolved_));
    } catch (const IoError&) {
      // Nothing reachable there: the notes say so.
    }
  }
  PathNote note;
  note.route = resolved_.ends_with('/') ? resolved_ + parts.name : resolved_ + "/" + parts.name;
  if (!IsPlainName(parts.name) || !walked_) return note;
  if (const auto facts = walked_->Examine(parts.name)) {
    note.identity = facts->identity;
    note.regularFile = facts->regularFile;
  }
  return note;
}

PinnedFile::PinnedFile(std::shared_ptr<const Directory> folder, std::string name, const Directory::EntryFacts& reached)
    : folder_(std::move(folder)), name_(std::move(name)), identity_(reached.identity), reached_(reached) {}

std::shared_ptr<const Directory> FolderWalks::Walk(const std::string& route) {
  if (!last_ || route != route_) {
    last_.reset();
    last_ = std::make_shared<const Directory>(Directory::Walk(route));
    // Known before any of its files is looked at, so that even the first
    // can be opened on its look (Directory::OpenSeenFile).
    last_->DiskDevice();
    route_ = route;
  }
  return last_;
}

std::shared_ptr<const Directory> PinnedFile::WalkAlone(const std::string& route) {
  return std::make_shared<const Directory>(Directory::Walk(route));
}

std::optional<PinnedFile> PinnedFile::ReachIf(
    const std::string& route, const std::function<bool(const Directory&, const Directory::EntryFacts&)>& isTheFile,
    const std::function<std::shared_ptr<const Directory>(const std::string&)>& walk) {
  const SplitPath parts = Split(route);
  if (!IsPlainName(parts.name)) return std::nullopt;
  try {
    std::shared_ptr<const Directory> folder = walk(parts.folder);
    const auto facts = folder->Examine(parts.name);
    if (!facts || !facts->regularFile || !isTheFile(*folder, *facts)) return std::nullopt;
    return PinnedFile(std::move(folder), parts.name, *facts);
  } catch (const IoError&) {
    return std::nullopt;
  }
}

std::optional<PinnedFile> PinnedFile::Reach(const std::string& route, const FileIdentity& identity) {
  return ReachIf(route,
                 [&](const Directory&, const Directory::EntryFacts& facts) { return facts.identity == identity; });
}

std::optional<PinnedFile> PinnedFile::Reach(const std::string& route, const FileIdentity& identity,
                                            FolderWalks& walks) {
  return ReachIf(
      route, [&](const Directory&, const Directory::EntryFacts& facts) { return facts.identity == identity; },
      [&](const std::string& folder) { return walks.Walk(folder); });
}

std::optional<PinnedFile> PinnedFile::ReachOnFileSystem(const std::string& route, const std::string& fileSystem,
                                                        std::uint64_t inode) {
  return ReachIf(route, [&](const Directory& folder, const Directory::EntryFacts& facts) {
    // A file bound over the entry from elsewhere lies on another device than its folder.
    return facts.identity.inode == inode && facts.identity.device == folder.Device() &&
           folder.FileSystemId() == fileSystem;
  });
}

std::string PinnedFile::NearestFileSystem(const std::string& route) {
  for (std::string folder = Split(route).folder;; folder = Split(folder).folder) {
    try {
      return Directory::Walk(folder).FileSystemId();
    } catch (const IoError&) {
      if (folder.empty() || folder == "/") return {};
    }
  }
}

std::uint32_t PinnedFile::AttributesWhenReached() const {
  return FileAttributesOf(reached_.regularFile, reached_.ownerWritable, name_);
}

bool PinnedFile::SetAttributes(std::uint32_t word) const {
  // Of a word without read-only, only the owner's write bit counts here: a
  // file reached with it set has nothing to change, and is not opened.
  if ((word & FileAttribute::ReadOnly) == 0 && reached_.ownerWritable) return false;
  Checked(folder_->OpenFile(name_, FileHandle::Access::Read)).SetAttributes(word);
  return true;
}

FileHandle PinnedFile::Open(FileHandle::Access access) const { return Checked(folder_->OpenFile(name_, access)); }

FileHandle PinnedFile::OpenAsReached() const { return Checked(folder_->OpenSeenFile(name_, reached_)); }

FileHandle PinnedFile::OpenExclusive() const { return Checked(folder_->OpenFileExclusive(name_)); }

NameWiping PinnedFile::WipeName() { return WipeEntryName(*folder_, name_, identity_); }

std::uint64_t PinnedFile::Delete() const { return folder_->RemoveEntryOf(name_, identity_); }

FileHandle PinnedFile::Checked(FileHandle file) const {
  if (file.Identity() != identity_) throw IoError::FromErrno(ENOENT);
  return file;
}

}  // namespace omrek
