#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/FileIdentity.h"

namespace omrek {

// A folder the user had listed file by file, as it was when it was walked:
// what the destroy command may remove once the files are gone. Every place
// inside is named by its path relative to the folder ("sub/inner").
struct ExpandedFolder {
  // The folder's path as given, and the route to it with the links of the
  // folders above it resolved (see PathNote).
  std::string path;
  std::string route;
  FileIdentity identity;

  struct Entry {
    std::string relative;
    FileIdentity identity;
  };
  // The folders inside, each after the folder holding it.
  std::vector<Entry> folders;
  // Symbolic links, FIFOs, sockets and devices: never listed or opened,
  // they go as names only, with the folder holding them.
  std::vector<Entry> otherNames;
  // For each file listed that had more than one name when walked, the
  // paths of those the walk found inside: any others lie outside the
  // folder, and keep the file's content.
  std::map<FileIdentity, std::vector<std::string>> namesInside;
  // Folders (or files) with another file system mounted on them: not
  // walked, never removed.
  std::vector<std::string> mountPoints;
  // Folders the walk could not open, with the reason: nothing in them was
  // listed.
  struct Unread {
    std::string relative;
    std::string why;
  };
  std::vector<Unread> unread;
};

// The relative path of `name` inside the place at `relative` ("" for the
// walked folder itself).
inline std::string RelativeInside(const std::string& relative, const std::string& name) {
  return relative.empty() ? name : relative + "/" + name;
}

}  // namespace omrek
