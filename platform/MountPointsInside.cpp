#include "platform/MountPointsInside.h"

#include <filesystem>

#include "platform/MountTable.h"

namespace omrek {

namespace {

std::string Absolute(const std::string& route) {
  if (route.starts_with('/')) return route;
  std::error_code failed;
  const std::string here = std::filesystem::current_path(failed).string();
  return failed ? route : here + "/" + route;
}

}  // namespace

MountPointsInside::MountPointsInside(const std::string& route) {
  std::string prefix = Absolute(route);
  if (!prefix.ends_with('/')) prefix += '/';
  for (const MountEntry& mount : ReadMountTable()) {
    if (mount.MountPoint.size() > prefix.size() && mount.MountPoint.starts_with(prefix)) {
      relatives_.insert(mount.MountPoint.substr(prefix.size()));
    }
  }
}

std::set<std::string> MountPointsInside::NamesIn(const std::string& relative) const {
  const std::string prefix = relative.empty() ? "" : relative + "/";
  std::set<std::string> names;
  for (auto inside = relatives_.lower_bound(prefix); inside != relatives_.end() && inside->starts_with(prefix);
       ++inside) {
    const std::string name = inside->substr(prefix.size());
    if (!name.empty() && name.find('/') == std::string::npos) names.insert(name);
  }
  return names;
}

}  // namespace omrek
