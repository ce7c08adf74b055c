#pragma once

#include <compare>
#include <cstdint>

namespace omrek {

// Which file a name led to: the file system and the file's number on it.
// Two paths lead to the same file exactly when their identities are equal,
// whatever was renamed or swapped on the way.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
  auto operator<=>(const FileIdentity&) const = default;
};

}  // namespace omrek
