#include "platform/EntryName.h"

#include <cerrno>
#include <string_view>

#include "platform/IoError.h"

namespace omrek {

namespace {

void CheckName(const Directory& folder, const std::string& name, const FileIdentity& identity) {
  if (!folder.Names(name, identity)) throw IoError::FromErrno(ENOENT);
}

}  // namespace

NameWiping WipeEntryName(const Directory& folder, std::string& name, const FileIdentity& identity) {
  const std::string_view letters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::size_t letter = 0;
  NameWiping wiping = NameWiping::Wiped;
  for (const std::size_t length : {name.size(), name.size(), std::size_t{1}}) {
    CheckName(folder, name, identity);
    // A name of that shape may exist already: the next letter then.
    bool renamed = false;
    for (std::size_t tried = 0; !renamed && tried < letters.size(); ++tried, ++letter) {
      const std::string next(length, letters[letter % letters.size()]);
      if (next == name) continue;
      const Directory::Rename rename = folder.RenameEntry(name, next);
      if (rename == Directory::Rename::Unsupported) return NameWiping::NotWiped;
      if (rename == Directory::Rename::NameTaken) continue;
      if (rename == Directory::Rename::DonePlainly) wiping = NameWiping::WipedPlainly;
      name = next;
      renamed = true;
    }
    if (!renamed) throw IoError::FromErrno(EEXIST);
  }
  return wiping;
}

}  // namespace omrek
