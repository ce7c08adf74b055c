#include "settings/MountPointList.h"

namespace omrek {

namespace {

constexpr char kSeparator = ';';

bool NeedsEscape(unsigned char byte) { return byte <= ' ' || byte == 0x7F || byte == '\\' || byte == kSeparator; }

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

void AppendEscaped(std::string& value, unsigned char byte) {
  value += '\\';
  value += static_cast<char>('0' + (byte >> 6));
  value += static_cast<char>('0' + ((byte >> 3) & 7));
  value += static_cast<char>('0' + (byte & 7));
}

// Whether `field` holds an escaped byte at `at`: a backslash and three
// octal digits of a value up to 0377.
bool EscapeAt(std::string_view field, std::size_t at) {
  return field[at] == '\\' && at + 3 < field.size() && field[at + 1] >= '0' && field[at + 1] <= '3' &&
         IsOctal(field[at + 2]) && IsOctal(field[at + 3]);
}

std::string Unescape(std::string_view field) {
  std::string path;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (EscapeAt(field, i)) {
      path += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
      i += 3;
    } else {
      path += field[i];
    }
  }
  return path;
}

}  // namespace

std::string JoinMountPoints(const std::vector<std::string>& mountPoints) {
  std::string value;
  for (const std::string& mountPoint : mountPoints) {
    if (!value.empty()) value += kSeparator;
    for (const char c : mountPoint) {
      const auto byte = static_cast<unsigned char>(c);
      if (NeedsEscape(byte)) {
        AppendEscaped(value, byte);
      } else {
        value += c;
      }
    }
  }
  return value;
}

std::vector<std::string> SplitMountPoints(std::string_view value) {
  std::vector<std::string> mountPoints;
  while (!value.empty()) {
    const std::size_t end = value.find(kSeparator);
    const std::string_view field = value.substr(0, end);
    if (!field.empty()) mountPoints.push_back(Unescape(field));
    value.remove_prefix(end == std::string_view::npos ? value.size() : end + 1);
  }
  return mountPoints;
}

}  // namespace omrek
