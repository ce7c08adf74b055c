#include "engine/ChunkDigest.h"

#include <cstring>

namespace omrek {

std::uint64_t ChunkDigest(const std::uint8_t* bytes, std::size_t count) {
  // Four lanes of multiply and rotate, eight bytes a step: a changed byte
  // changes its lane's result, and the lanes are folded together at the end.
  constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
  constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
  const auto mix = [](std::uint64_t lane, std::uint64_t word) {
    lane += word * kPrime2;
    lane = (lane << 31) | (lane >> 33);
    return lane * kPrime1;
  };
  std::uint64_t lanes[4] = {kPrime1, kPrime2, ~kPrime1, ~kPrime2};
  std::size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    for (int lane = 0; lane < 4; ++lane) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i + 8 * lane, sizeof word);
      lanes[lane] = mix(lanes[lane], word);
    }
  }
  std::uint64_t digest = count;
  for (const std::uint64_t lane : lanes) digest = mix(digest ^ lane, lane);
  for (; i < count; ++i) digest = mix(digest, bytes[i]);
  return digest;
}

}  // namespace omrek
