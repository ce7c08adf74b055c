#include "platform/SystemTime.h"

#include <chrono>

namespace omrek {

std::uint32_t UtcMillisecondOfDay() {
  using namespace std::chrono;
  const auto now = time_point_cast<milliseconds>(system_clock::now());
  const auto sinceMidnight = now - floor<days>(now);
  return static_cast<std::uint32_t>(sinceMidnight.count());
}

}  // namespace omrek
