#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace omrek {

// A profile (INI) file: sections of "key=value" lines, section and key names
// matched without regard to case. It is read once, when constructed; each
// write goes to the file before it returns, replacing the file as a whole
// (a temporary file beside it, flushed to the medium, then renamed over it),
// so a crash or a full disk never leaves it half written. A write changes
// one line and keeps every other byte: keys, sections, comments and lines
// the program does not know or cannot read stay as they were. A profile
// that is a symbolic link the user owns, to a regular file the user owns,
// is read and written through to that file (see OwnFileBehindLink); the
// link stays a link.
class ProfileFile {
 public:
  // Longer values are cut to this many bytes when read.
  static constexpr std::size_t kMaxValueLength = 2047;

  // Larger files are not read: settings never grow so large, and reading
  // one whole could take the memory the program needs.
  static constexpr std::uint64_t kMaxFileSize = 1 << 20;

  // Reads the file. A missing or unreadable file reads as an empty one, and
  // so does one larger than kMaxFileSize; a malformed line (MalformedLine)
  // does not stop the reading of the others.
  explicit ProfileFile(std::string path);
  ~ProfileFile();
  ProfileFile(const ProfileFile&) = delete;
  ProfileFile& operator=(const ProfileFile&) = delete;

  const std::string& Path() const { return path_; }
  // Why the file was read only in part or not at all ("line 3 is
  // malformed", "larger than 1 MiB"); empty when it was read as it is or
  // is missing.
  const std::string& Problem() const { return problem_; }

  // The value as read, or `fallback` when the section or key is missing.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
  bool HasKey(const std::string& section, const std::string& key) const;

  // Sets one key, reading the file afresh first so that what others wrote
  // since is kept; where the key goes is SetProfileValue's rule. Raises
  // IoError when the file cannot be read or replaced or is read-only, and
  // UntrustedPlace when it or its folder is another user's or its folder a
  // link (see GuardedFolder); the file is then left as it was. Raises std::invalid_argument for a value holding a
  // line break or a NUL byte, which the file could not hold as one value.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);

 private:
  class Document;

  std::string path_;
  std::string problem_;
  std::unique_ptr<Document> read_;
};

}  // namespace omrek
