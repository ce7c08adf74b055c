#pragma once

#include <string>

namespace omrek {

// Folders and files the program makes among the user's own (the settings
// folder, the file managers' script folders). The program may run as root
// with another user's HOME (sudo -E), so nothing on the way is taken on
// trust: each folder is opened without following a symbolic link (one made
// by root, as a system's /home -> /var/home, excepted), and a folder owned
// by anyone but the running user or root (for root: root alone) is refused
// with UntrustedPlace, which names it. Other failures raise
// std::runtime_error carrying the path and the system's reason.

// Makes `folder` and its missing parents, each readable by its owner only.
// Folders that are there already are left as they are.
void MakePrivateFolders(const std::string& folder);

// Writes `text` as the file `name` in `folder` (made as above when missing),
// with the permission bits `mode`. The text goes to a new file that then
// replaces any earlier one in a single rename, so a reader never sees half
// of it and no link at `name` is written through; anything at `name` that is
// not a plain file is refused.
void ReplaceFileInPrivateFolder(const std::string& folder, const std::string& name, const std::string& text,
                                unsigned mode);

}  // namespace omrek
