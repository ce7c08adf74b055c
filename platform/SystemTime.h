#pragma once

#include <cstdint>

namespace omrek {

// Milliseconds since midnight UTC: ((hour × 60 + minute) × 60 + second) ×
// 1000 + millisecond.
std::uint32_t UtcMillisecondOfDay();

}  // namespace omrek
