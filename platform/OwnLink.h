#pragma once

#include <string>

namespace omrek {

// The file to read and write for `path`: when `path` is a symbolic link
// (as dotfile managers make) that the user running the program owns, and it
// leads to a regular file the user owns too, that file's path with every
// link worked out; otherwise `path` itself, which the file operations then
// refuse to follow. Both owners count: a link that someone else planted in
// a shared folder must not steer what a program run as root writes.
std::string OwnFileBehindLink(const std::string& path);

}  // namespace omrek
