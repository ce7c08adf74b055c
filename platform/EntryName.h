#pragma once

#include <string>

#include "platform/Directory.h"
#include "platform/FileIdentity.h"

namespace omrek {

// How the wiping of a name went.
enum class NameWiping {
  Wiped,
  // Where the file system cannot rename without a risk of replacing: with
  // plain renames, each to a name found free just before.
  WipedPlainly,
  // The file system cannot rename safely at all: the name stays as it is.
  NotWiped,
};

// Renames the entry `name` of `folder` twice to names of its name's length
// made of one repeated character, then to a name of one character, and
// leaves `name` holding the last of them: where a file system keeps a
// deleted entry's bytes and gives a new entry the first free slots (FAT),
// the second name can take the slot the old one left, and the entry finally
// deleted does not tell how long the name was. (ext4 clears a deleted entry
// itself; XFS puts new names in its largest free space, so there the old
// name may stay.) The folder is not flushed. Acts only while the name still
// names the entry of `identity`: raises "File not found" once it does not.
NameWiping WipeEntryName(const Directory& folder, std::string& name, const FileIdentity& identity);

}  // namespace omrek
