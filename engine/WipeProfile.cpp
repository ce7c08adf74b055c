#include "engine/WipeProfile.h"

#include <string_view>

namespace omrek {

std::uint8_t ParseHexByte(const std::string& text) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  std::uint8_t value = 0;
  for (const char c : text) {
    const auto digit = kDigits.find(c);
    if (digit != std::string_view::npos) value = static_cast<std::uint8_t>(value * 16 + digit);
  }
  return value;
}

}  // namespace omrek
