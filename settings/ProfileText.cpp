#include "settings/ProfileText.h"

#include <optional>
#include <vector>

namespace omrek {

namespace {

constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";

// SimpleIni's blanks: a line break counts as one, except inside a line.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
bool IsComment(char c) { return c == ';' || c == '#'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// A section header or a key as the reader takes it; offsets count within
// the part the reader sees.
struct Entry {
  std::string_view section;  // a key's section, or the header's own name
  std::string_view key;      // empty for a header
  std::size_t valueBegin = 0;
  std::size_t valueEnd = 0;
  std::size_t lineEnd = 0;  // where the line break after it begins
};

// What the reader finds in `text`. The walk is the one SimpleIni's reader
// makes, down to its quirks: the keys after a "[" line without "]" go to a
// section named by the text from the "[" on across the line break, which no
// section name reaches; blanks after "[" reach across line breaks; a line
// without "=" is passed over.
class ProfileScan {
 public:
  explicit ProfileScan(std::string_view text) : text_(text) {
    while (Walk()) {
    }
  }

  const std::vector<Entry>& Entries() const { return entries_; }
  // Where a "[" that only blanks follow stands: the reader would take
  // anything put after it for the rest of its name.
  std::optional<std::size_t> DanglingBracket() const { return dangling_; }

 private:
  std::size_t SkipBlanks(std::size_t at) const {
    while (at < text_.size() && IsBlank(text_[at])) ++at;
    return at;
  }
  std::size_t EndOfLine(std::size_t at) const {
    while (at < text_.size() && !IsLineBreak(text_[at])) ++at;
    return at;
  }
  std::size_t TrimBack(std::size_t begin, std::size_t end) const {
    while (end > begin && IsBlank(text_[end - 1])) --end;
    return end;
  }

  // Reads one line or header; false at the end.
  bool Walk() {
    at_ = SkipBlanks(at_);
    if (at_ == text_.size()) return false;
    if (IsComment(text_[at_])) {
      at_ = EndOfLine(at_);
    } else if (text_[at_] == '[') {
      Header();
    } else {
      Key();
    }
    return true;
  }

  void Header() {
    const std::size_t bracket = at_;
    const std::size_t nameBegin = SkipBlanks(at_ + 1);
    at_ = nameBegin;
    while (at_ < text_.size() && text_[at_] != ']' && !IsLineBreak(text_[at_])) ++at_;
    if (at_ == text_.size() && nameBegin == at_) dangling_ = bracket;
    if (at_ == text_.size()) return;
    if (text_[at_] != ']') {
      section_ = text_.substr(nameBegin, at_ + 1 - nameBegin);
      return;
    }
    section_ = text_.substr(nameBegin, TrimBack(nameBegin, at_) - nameBegin);
    at_ = EndOfLine(at_);
    entries_.push_back({section_, {}, 0, 0, at_});
  }

  void Key() {
    const std::size_t keyBegin = at_;
    while (at_ < text_.size() && text_[at_] != '=' && !IsLineBreak(text_[at_])) ++at_;
    if (at_ == text_.size() || text_[at_] != '=') return;
    if (at_ == keyBegin) {
      at_ = EndOfLine(at_);
      return;
    }
    const std::string_view key = text_.substr(keyBegin, TrimBack(keyBegin, at_) - keyBegin);
    std::size_t valueBegin = at_ + 1;
    while (valueBegin < text_.size() && (text_[valueBegin] == ' ' || text_[valueBegin] == '\t')) ++valueBegin;
    at_ = EndOfLine(valueBegin);
    entries_.push_back({section_, key, valueBegin, TrimBack(valueBegin, at_), at_});
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string_view section_;
  std::vector<Entry> entries_;
  std::optional<std::size_t> dangling_;
};

// The line break the file uses, taken from its first line.
std::string_view LineBreakOf(std::string_view text) {
  const std::size_t first = text.find_first_of("\r\n");
  if (first == std::string_view::npos || text[first] == '\n') return "\n";
  return text.substr(first + 1, 1) == "\n" ? "\r\n" : "\r";
}

// Where the line break that begins at `at` ends.
std::size_t AfterLineBreak(std::string_view text, std::size_t at) {
  return at + (text.substr(at, 2) == "\r\n" ? 2 : 1);
}

std::size_t StartOfLine(std::string_view text, std::size_t at) {
  while (at > 0 && !IsLineBreak(text[at - 1])) --at;
  return at;
}

// What the reader sees of a file: it skips a UTF-8 signature and stops at
// the first NUL byte.
std::string_view SeenPart(std::string_view text) {
  const std::size_t start = text.starts_with(kUtf8Signature) ? kUtf8Signature.size() : 0;
  return text.substr(start, text.find('\0', start) - start);
}

}  // namespace

std::optional<std::size_t> MalformedLine(std::string_view text) {
  const std::string_view seen = SeenPart(text);
  std::size_t number = 1;
  for (std::size_t at = 0; at < seen.size(); ++number) {
    std::size_t end = at;
    while (end < seen.size() && !IsLineBreak(seen[end])) ++end;
    const std::string_view line = seen.substr(at, end - at);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos && line[first] == '[' && line.find(']', first) == std::string_view::npos) {
      return number;
    }
    at = end < seen.size() ? AfterLineBreak(seen, end) : end;
  }
  return std::nullopt;
}

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
  const std::size_t start = text.starts_with(kUtf8Signature) ? kUtf8Signature.size() : 0;
  const std::string_view seen = SeenPart(text);
  const std::string_view lineBreak = LineBreakOf(seen);
  const ProfileScan scan(seen);
  std::string edited(text);

  const Entry* lastOfSection = nullptr;
  for (const Entry& entry : scan.Entries()) {
    if (!SameName(entry.section, section)) continue;
    if (!entry.key.empty() && SameName(entry.key, key)) {
      edited.replace(start + entry.valueBegin, entry.valueEnd - entry.valueBegin, value);
      return edited;
    }
    lastOfSection = &entry;
  }

  const std::string line = std::string(key) + "=" + std::string(value);
  if (lastOfSection != nullptr) {
    const std::size_t end = lastOfSection->lineEnd;
    if (end == seen.size()) {
      edited.insert(start + end, std::string(lineBreak) + line);
    } else {
      edited.insert(start + AfterLineBreak(seen, end), line + std::string(lineBreak));
    }
    return edited;
  }

  // A "[" with only blanks after it would swallow a header put behind it,
  // so the new section goes before its line.
  const std::size_t at = scan.DanglingBracket() ? StartOfLine(seen, *scan.DanglingBracket()) : seen.size();
  std::string block;
  if (at > 0) {
    // One empty line between sections, after ending the last line if needed.
    if (!IsLineBreak(seen[at - 1])) block += lineBreak;
    block += lineBreak;
  }
  block += "[" + std::string(section) + "]" + std::string(lineBreak) + line + std::string(lineBreak);
  edited.insert(start + at, block);
  return edited;
}

}  // namespace omrek
