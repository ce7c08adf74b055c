#include "intake/ReadablePath.h"

#include <cstdint>

namespace omrek {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The length of the valid UTF-8 sequence at the start of `text`, or 0 when
// it starts with a byte that begins none (overlong forms and surrogates
// included).
std::size_t Utf8SequenceLength(std::string_view text) {
  struct Form {
    std::uint8_t leadMask;
    std::uint8_t leadBits;
    std::size_t length;
    std::uint32_t lowest;  // the smallest code point this length may carry
  };
  constexpr Form kForms[] = {
      {0x80, 0x00, 1, 0}, {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  for (const Form& form : kForms) {
    if ((byte(0) & form.leadMask) != form.leadBits) continue;
    if (text.size() < form.length) return 0;
    std::uint32_t point = byte(0) & static_cast<std::uint8_t>(~form.leadMask);
    for (std::size_t i = 1; i < form.length; ++i) {
      if ((byte(i) & 0xC0) != 0x80) return 0;
      point = (point << 6) | (byte(i) & 0x3F);
    }
    if (point < form.lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
    return form.length;
  }
  return 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

void AppendEscaped(std::string& text, std::string_view bytes) {
  for (const char byte : bytes) {
    const auto value = static_cast<std::uint8_t>(byte);
    text += "\\x";
    text += kHexDigits[value >> 4];
    text += kHexDigits[value & 0x0F];
  }
}

// C0, DEL, and the C1 controls U+0080 to U+009F, which some terminals obey
// in their UTF-8 form as well.
bool IsControl(std::string_view sequence) {
  const auto lead = static_cast<std::uint8_t>(sequence.front());
  if (lead < 0x20 || lead == 0x7F) return true;
  return sequence.size() == 2 && lead == 0xC2 && static_cast<std::uint8_t>(sequence[1]) < 0xA0;
}

// Printable ASCII passes as it is, a run at a time: most names are all of it.
bool PassesAsItIs(char byte, bool backslashes) {
  const auto value = static_cast<std::uint8_t>(byte);
  return value >= 0x20 && value < 0x7F && !(backslashes && byte == '\\');
}

std::string Escaped(std::string_view bytes, bool backslashes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    std::size_t plain = 0;
    while (plain < bytes.size() && PassesAsItIs(bytes[plain], backslashes)) ++plain;
    text.append(bytes.substr(0, plain));
    bytes.remove_prefix(plain);
    if (bytes.empty()) break;
    const std::size_t length = Utf8SequenceLength(bytes);
    const std::string_view sequence = bytes.substr(0, length == 0 ? 1 : length);
    if (backslashes && sequence.front() == '\\') {
      text += "\\\\";
    } else if (length == 0 || IsControl(sequence)) {
      AppendEscaped(text, sequence);
    } else {
      text.append(sequence);
    }
    bytes.remove_prefix(sequence.size());
  }
  return text;
}

}  // namespace

std::string ReadablePath(std::string_view bytes) { return Escaped(bytes, true); }

std::string ControlsEscaped(std::string_view text) { return Escaped(text, false); }

std::string PathFromReadable(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
      bytes += '\\';
      ++i;
    } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexValue(text[i + 2]) >= 0 &&
               HexValue(text[i + 3]) >= 0) {
      bytes += static_cast<char>(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

}  // namespace omrek
