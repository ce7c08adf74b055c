#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace omrek {

// The name of the file system the open descriptor lies on when that is one
// of the kernel's own (proc, sysfs, debugfs, cgroup and the like), whose
// files are the kernel's settings and state rather than data on a disk;
// nullopt for any other, or when it cannot be told.
std::optional<std::string> KernelFileSystemOf(int fd);
// The same for a descriptor whose device number the caller has at hand.
std::optional<std::string> KernelFileSystemOf(int fd, std::uint64_t device);
// The same; `told` says whether the file system could be told at all.
std::optional<std::string> KernelFileSystemOf(int fd, std::uint64_t device, bool& told);

}  // namespace omrek
