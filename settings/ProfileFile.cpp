#include "settings/ProfileFile.h"

// SimpleIni reads; writing goes through SetProfileValue, which keeps the
// lines SimpleIni would drop when saving. Only the narrow-character profile
// is used, byte for byte, as paths are.
// Debian's SimpleIni keeps its template bodies behind SI_IMPLEMENTATION; they
// are compiled here, once, rather than linking its library, which is built
// for ICU's wide characters.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "platform/FileHandle.h"
#include "platform/GuardedFolder.h"
#include "platform/OwnLink.h"
#include "settings/ProfileText.h"

namespace omrek {

namespace fs = std::filesystem;

class ProfileFile::Document {
 public:
  Document() {
    // A key given twice reads as its first value, as Windows reads it.
    ini.SetMultiKey(true);
  }

  void Parse(const std::string& bytes) {
    if (ini.LoadData(bytes) < 0) throw std::runtime_error("the profile cannot be parsed");
  }

  CSimpleIniA ini;
};

namespace {

// A file too large to be settings, which is not read at all.
class FileTooLarge : public std::runtime_error {
 public:
  FileTooLarge() : std::runtime_error("larger than 1 MiB") {}
};

// The whole file, or nothing when there is no file at the path.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::error_code ignored;
  if (fs::symlink_status(path, ignored).type() == fs::file_type::not_found) return std::nullopt;
  const FileHandle file = FileHandle::OpenExisting(path, FileHandle::Access::Read);
  // Sized once: a file that grows meanwhile is read only as far as checked.
  const std::uint64_t size = file.Size();
  if (size > ProfileFile::kMaxFileSize) throw FileTooLarge();
  std::string bytes(size, '\0');
  bytes.resize(file.ReadAt(bytes.data(), bytes.size(), 0));
  return bytes;
}

// Cuts at `limit` bytes without splitting a UTF-8 character.
std::string CutAt(std::string value, std::size_t limit) {
  if (value.size() <= limit) return value;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
  value.resize(end);
  return value;
}

// Puts `text` in place of the file at `path` in one step: the old file stays
// whole until the new one has reached the medium.
void ReplaceFile(const std::string& path, const std::string& text) {
  const fs::path place(path);
  const std::string folder = place.parent_path().empty() ? "." : place.parent_path().string();
  GuardedFolder(folder).Replace(place.filename().string(), text);
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)), read_(std::make_unique<Document>()) {
  try {
    if (const auto bytes = ReadWholeFile(OwnFileBehindLink(path_))) {
      read_->Parse(*bytes);
      if (const auto line = MalformedLine(*bytes)) problem_ = "line " + std::to_string(*line) + " is malformed";
    }
  } catch (const FileTooLarge& tooLarge) {
    problem_ = tooLarge.what();
    read_ = std::make_unique<Document>();
  } catch (const std::exception&) {
    // An unreadable file gives every key its default, as a missing one does.
    read_ = std::make_unique<Document>();
  }
}

ProfileFile::~ProfileFile() = default;

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
  const char* value = read_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  return value == nullptr ? fallback : CutAt(value, kMaxValueLength);
}

bool ProfileFile::HasKey(const std::string& section, const std::string& key) const {
  return read_->ini.GetValue(section.c_str(), key.c_str(), nullptr) != nullptr;
}

void ProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  // A line break would end the value early and turn its rest into lines of
  // their own; a NUL byte would hide the rest of the file from the reader.
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    throw std::invalid_argument("a profile value must be a single line without NUL bytes");
  }
  const std::string file = OwnFileBehindLink(path_);
  const std::optional<std::string> old = ReadWholeFile(file);
  // Only the key's own line changes: what the reader cannot place stays as
  // the user left it.
  ReplaceFile(file, SetProfileValue(old.value_or(""), section, key, value));
}

}  // namespace omrek
