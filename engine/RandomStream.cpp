#include "engine/RandomStream.h"

#include <immintrin.h>

#include <array>

namespace omrek {

namespace {

constexpr std::size_t kLanes = 32;

// Jumping 32 draws ahead at once: seed' = seed × A + C.
struct Jump {
  std::uint32_t multiplier = 1;
  std::uint32_t increment = 0;
};

constexpr Jump JumpOf(std::size_t draws) {
  Jump jump;
  for (std::size_t i = 0; i < draws; ++i) {
    jump.multiplier *= RandomStream::kMultiplier;
    jump.increment = jump.increment * RandomStream::kMultiplier + RandomStream::kIncrement;
  }
  return jump;
}

constexpr Jump kJump32 = JumpOf(kLanes);

// The byte of a seed without 64-bit products: high half of seed × 256
// minus seed, which is seed >> 24 less a borrow when (seed << 8) < seed.
__attribute__((target("avx2"))) __m256i BytesOf(__m256i seed) {
  const __m256i high = _mm256_srli_epi32(seed, 24);
  const __m256i low = _mm256_slli_epi32(seed, 8);
  const __m256i noBorrow = _mm256_cmpeq_epi32(_mm256_min_epu32(low, seed), seed);
  return _mm256_add_epi32(high, _mm256_andnot_si256(noBorrow, _mm256_set1_epi32(-1)));
}

// Fills `blocks` × 32 bytes; returns the seed after the last draw.
__attribute__((target("avx2"))) std::uint32_t FillBlocksAvx2(std::uint32_t seed, std::uint8_t* out,
                                                             std::size_t blocks) {
  alignas(32) std::array<std::uint32_t, kLanes> start;
  for (std::size_t lane = 0; lane < kLanes; ++lane) {
    seed = seed * RandomStream::kMultiplier + RandomStream::kIncrement;
    start[lane] = seed;
  }
  __m256i lanes[4];
  for (int v = 0; v < 4; ++v) lanes[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(start.data() + 8 * v));
  const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(kJump32.multiplier));
  const __m256i increment = _mm256_set1_epi32(static_cast<int>(kJump32.increment));
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);

  std::uint32_t last = seed;
  for (std::size_t block = 0; block < blocks; ++block) {
    const __m256i words01 = _mm256_packus_epi32(BytesOf(lanes[0]), BytesOf(lanes[1]));
    const __m256i words23 = _mm256_packus_epi32(BytesOf(lanes[2]), BytesOf(lanes[3]));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words01, words23), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + block * kLanes), bytes);
    last = static_cast<std::uint32_t>(_mm256_extract_epi32(lanes[3], 7));
    for (__m256i& lane : lanes) lane = _mm256_add_epi32(_mm256_mullo_epi32(lane, multiplier), increment);
  }
  return last;
}

bool HasAvx2() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return available;
}

}  // namespace

void RandomStream::Fill(std::uint8_t* out, std::size_t count) {
  std::size_t done = 0;
  if (HasAvx2() && count >= kLanes) {
    const std::size_t blocks = count / kLanes;
    seed_ = FillBlocksAvx2(seed_, out, blocks);
    done = blocks * kLanes;
  }
  for (; done < count; ++done) out[done] = Draw(seed_);
}

}  // namespace omrek
