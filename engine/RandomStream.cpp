#include "engine/RandomStream.h"

#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#define OMREK_X86_KERNELS 1
#endif

namespace omrek {

namespace {

// Jumping n draws ahead at once: seed' = seed × multiplier + increment.
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

// The first `Lanes` seeds of a block, one draw apart.
template <std::size_t Lanes>
std::array<std::uint32_t, Lanes> LaneSeeds(std::uint32_t& seed) {
  std::array<std::uint32_t, Lanes> lanes;
  for (auto& lane : lanes) {
    seed = seed * RandomStream::kMultiplier + RandomStream::kIncrement;
    lane = seed;
  }
  return lanes;
}

#if OMREK_X86_KERNELS

// A byte without 64-bit products: the high half of seed × 256 - seed is
// seed >> 24, less one when the low half borrows, i.e. when (seed << 8) <
// seed.

constexpr std::size_t kLanes512 = 64;
constexpr Jump kJump512 = JumpOf(kLanes512);

// Fills `blocks` × 64 bytes; returns the seed after the last draw.
__attribute__((target("avx512f"))) std::uint32_t FillAvx512(std::uint32_t seed, std::uint8_t* out, std::size_t blocks) {
  const auto start = LaneSeeds<kLanes512>(seed);
  __m512i lanes[4];
  for (int v = 0; v < 4; ++v) lanes[v] = _mm512_loadu_si512(start.data() + 16 * v);
  const __m512i multiplier = _mm512_set1_epi32(static_cast<int>(kJump512.multiplier));
  const __m512i increment = _mm512_set1_epi32(static_cast<int>(kJump512.increment));
  const __m512i one = _mm512_set1_epi32(1);
  for (std::size_t block = 0; block < blocks; ++block) {
    for (int v = 0; v < 4; ++v) {
      // Zero-masked forms throughout: GCC 12 warns falsely of an
      // uninitialized value inside the plain ones.
      const __m512i high = _mm512_maskz_srli_epi32(0xFFFF, lanes[v], 24);
      const __mmask16 borrow = _mm512_cmplt_epu32_mask(_mm512_maskz_slli_epi32(0xFFFF, lanes[v], 8), lanes[v]);
      const __m512i bytes = _mm512_mask_sub_epi32(high, borrow, high, one);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + block * kLanes512 + 16 * v),
                       _mm512_maskz_cvtepi32_epi8(0xFFFF, bytes));
    }
    if (block + 1 == blocks) break;
    for (__m512i& lane : lanes) lane = _mm512_add_epi32(_mm512_mullo_epi32(lane, multiplier), increment);
  }
  std::array<std::uint32_t, 16> last;
  _mm512_storeu_si512(last.data(), lanes[3]);
  return last[15];
}

constexpr std::size_t kLanes256 = 32;
constexpr Jump kJump256 = JumpOf(kLanes256);

__attribute__((target("avx2"))) __m256i BytesOf(__m256i seed) {
  const __m256i high = _mm256_srli_epi32(seed, 24);
  const __m256i low = _mm256_slli_epi32(seed, 8);
  const __m256i noBorrow = _mm256_cmpeq_epi32(_mm256_min_epu32(low, seed), seed);
  return _mm256_add_epi32(high, _mm256_andnot_si256(noBorrow, _mm256_set1_epi32(-1)));
}

// Fills `blocks` × 32 bytes; returns the seed after the last draw.
__attribute__((target("avx2"))) std::uint32_t FillAvx2(std::uint32_t seed, std::uint8_t* out, std::size_t blocks) {
  const auto start = LaneSeeds<kLanes256>(seed);
  __m256i lanes[4];
  for (int v = 0; v < 4; ++v) lanes[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(start.data() + 8 * v));
  const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(kJump256.multiplier));
  const __m256i increment = _mm256_set1_epi32(static_cast<int>(kJump256.increment));
  // Packing interleaves the 128-bit halves; this puts the bytes in order.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (std::size_t block = 0; block < blocks; ++block) {
    const __m256i words01 = _mm256_packus_epi32(BytesOf(lanes[0]), BytesOf(lanes[1]));
    const __m256i words23 = _mm256_packus_epi32(BytesOf(lanes[2]), BytesOf(lanes[3]));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words01, words23), order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + block * kLanes256), bytes);
    if (block + 1 == blocks) break;
    for (__m256i& lane : lanes) lane = _mm256_add_epi32(_mm256_mullo_epi32(lane, multiplier), increment);
  }
  return static_cast<std::uint32_t>(_mm256_extract_epi32(lanes[3], 7));
}

#endif

RandomStream::Kernel BestKernel() {
  static const RandomStream::Kernel best = [] {
    if (RandomStream::Supports(RandomStream::Kernel::Avx512)) return RandomStream::Kernel::Avx512;
    if (RandomStream::Supports(RandomStream::Kernel::Avx2)) return RandomStream::Kernel::Avx2;
    return RandomStream::Kernel::OneByOne;
  }();
  return best;
}

}  // namespace

bool RandomStream::Supports(Kernel kernel) {
  switch (kernel) {
#if OMREK_X86_KERNELS
    case Kernel::Avx512:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx512f") != 0;
    case Kernel::Avx2:
      __builtin_cpu_init();
      return __builtin_cpu_supports("avx2") != 0;
#else
    case Kernel::Avx512:
    case Kernel::Avx2:
      return false;
#endif
    case Kernel::OneByOne:
      return true;
  }
  return false;
}

void RandomStream::Fill(std::uint8_t* out, std::size_t count) { FillWith(BestKernel(), out, count); }

void RandomStream::FillWith(Kernel kernel, std::uint8_t* out, std::size_t count) {
  std::size_t done = 0;
#if OMREK_X86_KERNELS
  if (kernel == Kernel::Avx512 && count >= kLanes512) {
    done = count / kLanes512 * kLanes512;
    seed_ = FillAvx512(seed_, out, done / kLanes512);
  } else if (kernel == Kernel::Avx2 && count >= kLanes256) {
    done = count / kLanes256 * kLanes256;
    seed_ = FillAvx2(seed_, out, done / kLanes256);
  }
#else
  (void)kernel;
#endif
  for (; done < count; ++done) out[done] = Draw(seed_);
}

}  // namespace omrek
