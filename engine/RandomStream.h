#pragma once

#include <cstddef>
#include <cstdint>

namespace omrek {

// The program's pseudo-random byte stream. One draw: seed = seed ×
// 134775813 + 1 (mod 2^32), and the byte is the high half of seed × 255,
// so it lies in 0..254 and 255 never appears.
class RandomStream {
 public:
  explicit RandomStream(std::uint32_t seed = 0) : seed_(seed) {}

  std::uint32_t Seed() const { return seed_; }
  void Reseed(std::uint32_t seed) { seed_ = seed; }

  // Draws `count` bytes in order. Fast on any length: blocks of bytes are
  // drawn by many lanes at once where the processor has AVX-512 or AVX2,
  // with exactly the bytes and end seed of drawing them one by one.
  void Fill(std::uint8_t* out, std::size_t count);

  // The ways of drawing, fastest first; Fill takes the best the processor
  // has. Tests use FillWith to check each one the processor can run.
  enum class Kernel { Avx512, Avx2, OneByOne };
  static bool Supports(Kernel kernel);
  void FillWith(Kernel kernel, std::uint8_t* out, std::size_t count);

  // One draw at a time; the definition the fast path must match.
  static std::uint8_t Draw(std::uint32_t& seed) {
    seed = seed * kMultiplier + kIncrement;
    return static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255) >> 32);
  }

  static constexpr std::uint32_t kMultiplier = 134775813;
  static constexpr std::uint32_t kIncrement = 1;

 private:
  std::uint32_t seed_;
};

}  // namespace omrek
