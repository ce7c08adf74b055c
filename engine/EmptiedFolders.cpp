#include "engine/EmptiedFolders.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <utility>

#include "intake/ReadablePath.h"
#include "platform/Directory.h"
#include "platform/EntryName.h"
#include "platform/IoError.h"
#include "platform/MountPointsInside.h"

namespace omrek {

namespace {

std::string LastName(const std::string& route) { return route.substr(route.find_last_of('/') + 1); }

// "a, b, c and 4 more".
std::string NamesText(const std::vector<std::string>& names) {
  constexpr std::size_t kShown = 3;
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i) text += (i == 0 ? "" : ", ") + names[i];
  if (names.size() > kShown) text += " and " + std::to_string(names.size() - kShown) + " more";
  return text;
}

// One folder of an expanded tree, removed when nothing is left in it but
// the names noted with the tree.
class FolderRemoval {
 public:
  // `otherNames`: the tree's links and other names, by their place in it.
  // `mounts`: the mount points inside the tree now.
  FolderRemoval(const ExpandedFolder& tree, const std::map<std::string, FileIdentity>& otherNames,
                const MountPointsInside& mounts, const ExpandedFolder::Entry& folder, bool wipeNames)
      : tree_(tree), otherNames_(otherNames), mounts_(mounts), folder_(folder), wipeNames_(wipeNames) {}

  // The folder left as it is: the command was canceled or asked to end.
  TargetOutcome Left() const {
    TargetOutcome left = TargetOutcome::Before(Path(), false);
    left.outcome = Outcome::FolderKept;
    left.detail = "canceled";
    return left;
  }

  TargetOutcome Run() {
    TargetOutcome done = TargetOutcome::Before(Path(), false);
    done.outcome = Outcome::FolderKept;
    try {
      const Directory folder = Directory::Walk(Route());
      // Swapped since the walk: not the folder the user agreed to.
      if (FileIdentity{folder.Device(), folder.Inode()} != folder_.identity) throw IoError::FromErrno(ENOENT);
      const std::vector<std::string> holding = RemoveNotedNames(folder);
      if (!holding.empty()) {
        done.detail = "still holds " + NamesText(holding);
        return done;
      }
      done.detail = Remove();
      done.outcome = Outcome::FolderRemoved;
    } catch (const IoError& failure) {
      done.detail = failure.what() + renamedNote_;
    }
    return done;
  }

 private:
  std::string Path() const {
    return folder_.relative.empty() ? tree_.path : PathInFolder(tree_.path, folder_.relative);
  }
  std::string Route() const {
    return folder_.relative.empty() ? tree_.route : PathInFolder(tree_.route, folder_.relative);
  }

  bool Noted(const std::string& relative, const FileIdentity& identity) const {
    const auto name = otherNames_.find(relative);
    return name != otherNames_.end() && name->second == identity;
  }

  // Removes the links and other names noted in the folder when nothing
  // else is in it, so the folder can go; in a folder that stays they stay
  // too. Says what else is there.
  std::vector<std::string> RemoveNotedNames(const Directory& folder) const {
    std::vector<std::string> holding;
    std::vector<std::pair<std::string, FileIdentity>> noted;
    for (const Directory::Entry& entry : folder.Entries(mounts_.NamesIn(folder_.relative))) {
      if (entry.mountPoint) {
        holding.push_back(ReadablePath(entry.name) + " (another file system is mounted there)");
        continue;
      }
      const auto& facts = entry.facts;
      if (entry.kind == Directory::EntryKind::Other && facts &&
          Noted(RelativeInside(folder_.relative, entry.name), facts->identity)) {
        noted.emplace_back(entry.name, facts->identity);
      } else {
        holding.push_back(ReadablePath(entry.name));
      }
    }
    if (holding.empty()) {
      for (const auto& [name, identity] : noted) folder.RemoveEntryOf(name, identity);
    }
    std::sort(holding.begin(), holding.end());
    return holding;
  }

  // Wipes the folder's name in its parent and removes it; what the report
  // should say of the name, "" when it went as always.
  std::string Remove() {
    const Directory parent = Directory::Walk(FolderOfPath(Route()));
    std::string name = LastName(Route());
    std::string note;
    try {
      if (wipeNames_) note = NameWipingNote(WipeEntryName(parent, name, folder_.identity));
      parent.RemoveFolderOf(name, folder_.identity);
    } catch (const IoError&) {
      // Something arrived in it meanwhile, or a rename failed part way: it
      // stays, under its own name.
      if (name != LastName(Route())) NameBack(parent, name);
      throw;
    }
    return note;
  }

  // Puts the folder's own name back, while `name` is still the folder's.
  void NameBack(const Directory& parent, const std::string& name) {
    if (!parent.Names(name, folder_.identity)) return;
    try {
      const Directory::Rename rename = parent.RenameEntry(name, LastName(Route()));
      if (rename == Directory::Rename::Done || rename == Directory::Rename::DonePlainly) return;
    } catch (const IoError&) {
      // Said below.
    }
    renamedNote_ = "; its name is now " + ReadablePath(name);
  }

  const ExpandedFolder& tree_;
  const std::map<std::string, FileIdentity>& otherNames_;
  const MountPointsInside& mounts_;
  const ExpandedFolder::Entry& folder_;
  bool wipeNames_;
  // Said with a failure after the name was wiped when it could not be put
  // back: the folder stays under its new name.
  std::string renamedNote_;
};

}  // namespace

void EmptiedFolders::Note(const ListedFile& file) {
  if (!file.expandedFrom) return;
  if (std::find(noted_.begin(), noted_.end(), file.expandedFrom) == noted_.end()) noted_.push_back(file.expandedFrom);
}

void EmptiedFolders::RemoveEmptied(JobMonitor& monitor, bool wipeNames, const OutcomeSink& sink) {
  const auto tell = [&](const TargetOutcome& done) {
    ShowOutcome(monitor, done);
    sink(done);
  };
  // The folders removed so far: one a tree shares with a tree done before
  // (a folder inside another, or given twice) went with that one, and is
  // no failure.
  std::set<std::pair<std::uint64_t, std::uint64_t>> removed;
  for (const auto& tree : noted_) {
    std::map<std::string, FileIdentity> otherNames;
    for (const ExpandedFolder::Entry& name : tree->otherNames) otherNames.emplace(name.relative, name.identity);
    const MountPointsInside mounts(tree->route);
    // Listed parents first: backwards, every folder comes after those inside it.
    const auto remove = [&](const ExpandedFolder::Entry& folder) {
      const std::pair key{folder.identity.device, folder.identity.inode};
      if (removed.contains(key)) return false;
      monitor.PumpEvents();
      FolderRemoval removal(*tree, otherNames, mounts, folder, wipeNames);
      const TargetOutcome done = monitor.CancelFlag() ? removal.Left() : removal.Run();
      if (done.outcome == Outcome::FolderRemoved) removed.insert(key);
      tell(done);
      return true;
    };
    std::for_each(tree->folders.rbegin(), tree->folders.rend(), remove);
    // Gone with a tree before, and flushed with it.
    if (!remove({"", tree->identity})) continue;
    // One flush of the folder that held it: the journal of the file systems
    // that keep one commits every removal and rename before it.
    try {
      Directory::Walk(FolderOfPath(tree->route)).Flush();
    } catch (const IoError& failure) {
      monitor.ShowMessage("The folder " + ReadablePath(FolderOfPath(tree->path)) + " could not be flushed (" +
                          failure.what() + "): names of folders removed there may come back after a power cut.");
    }
  }
  noted_.clear();
}

}  // namespace omrek
