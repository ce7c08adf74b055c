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

// The first seeds of a block laid out for kernels with `Width` lanes per
// vector: vector 4g + v, lane j takes draw 4·Width·g + 4j + v, so the bytes
// of vectors 4g..4g+3, merged a byte per vector into each 32-bit lane, come
// out in the stream's order.
template <std::size_t Width, std::size_t Lanes>
std::array<std::uint32_t, Lanes> InterleavedSeeds(std::uint32_t& seed) {
  const auto inOrder = LaneSeeds<Lanes>(seed);
  std::array<std::uint32_t, Lanes> laid;
  for (std::size_t draw = 0; draw < Lanes; ++draw) {
    const std::size_t group = draw / (4 * Width), lane = draw % (4 * Width) / 4, vector = 4 * group + draw % 4;
    laid[Width * vector + lane] = inOrder[draw];
  }
  return laid;
}

#if OMREK_X86_KERNELS

// A byte without 64-bit products: the high half of seed × 256 - seed is
// seed >> 24, less one when the low half borrows, i.e. when (seed << 8) <
// seed.

// 256 lanes in 16 vectors: enough independent multiplies to keep every
// vector unit busy, laid out as InterleavedSeeds says so that no narrowing
// instruction is needed.
constexpr std::size_t kGroups512 = 4;
constexpr std::size_t kLanes512 = 64 * kGroups512;
constexpr Jump kJump512 = JumpOf(kLanes512);

// Zero-masked shifts: GCC 12 warns falsely of an uninitialized value inside
// the plain ones.
__attribute__((target("avx512f"), always_inline)) inline __m512i ShiftRight(__m512i x, unsigned bits) {
  return _mm512_maskz_srli_epi32(0xFFFF, x, bits);
}
__attribute__((target("avx512f"), always_inline)) inline __m512i ShiftLeft(__m512i x, unsigned bits) {
  return _mm512_maskz_slli_epi32(0xFFFF, x, bits);
}

__attribute__((target("avx512f"), always_inline)) inline __m512i Avx512Bytes(const __m512i* seeds) {
  // Each byte of a dword from its own vector's high byte.
  const __m512i low1 = _mm512_set1_epi32(0x000000FF);
  const __m512i low2 = _mm512_set1_epi32(0x0000FFFF);
  const __m512i low3 = _mm512_set1_epi32(0x00FFFFFF);
  constexpr int kSelect = 0xCA;  // mask ? first : second, bit by bit
  __m512i bytes = _mm512_ternarylogic_epi32(low1, ShiftRight(seeds[0], 24), ShiftRight(seeds[1], 16), kSelect);
  bytes = _mm512_ternarylogic_epi32(low2, bytes, ShiftRight(seeds[2], 8), kSelect);
  bytes = _mm512_ternarylogic_epi32(low3, bytes, seeds[3], kSelect);
// Then the borrows, each at its byte; a byte that borrows is at least 1,
// so nothing spills into the next one.
#pragma GCC unroll 16
  for (int v = 0; v < 4; ++v) {
    const __mmask16 borrow = _mm512_cmplt_epu32_mask(ShiftLeft(seeds[v], 8), seeds[v]);
    bytes = _mm512_mask_sub_epi32(bytes, borrow, bytes, _mm512_set1_epi32(1 << (8 * v)));
  }
  return bytes;
}

// Fills `blocks` × 256 bytes; returns the seed after the last draw.
__attribute__((target("avx512f"))) std::uint32_t FillAvx512(std::uint32_t seed, std::uint8_t* out, std::size_t blocks) {
  const auto start = InterleavedSeeds<16, kLanes512>(seed);
  __m512i lanes[4 * kGroups512];
  for (std::size_t v = 0; v < 4 * kGroups512; ++v) lanes[v] = _mm512_loadu_si512(start.data() + 16 * v);
  // Unrolled throughout, so every lane stays in a register.
  const __m512i multiplier = _mm512_set1_epi32(static_cast<int>(kJump512.multiplier));
  const __m512i increment = _mm512_set1_epi32(static_cast<int>(kJump512.increment));
  for (std::size_t block = 0; block < blocks; ++block) {
#pragma GCC unroll 16
    for (std::size_t group = 0; group < kGroups512; ++group) {
      _mm512_storeu_si512(out + block * kLanes512 + 64 * group, Avx512Bytes(lanes + 4 * group));
    }
    if (block + 1 == blocks) break;
#pragma GCC unroll 16
    for (__m512i& lane : lanes) lane = _mm512_add_epi32(_mm512_mullo_epi32(lane, multiplier), increment);
  }
  // The block's last draw: vector 15, lane 15.
  std::array<std::uint32_t, 16> last;
  _mm512_storeu_si512(last.data(), lanes[4 * kGroups512 - 1]);
  return last[15];
}

// 64 lanes in 8 vectors, laid out as for AVX-512; 16 registers hold no
// more with the constants.
constexpr std::size_t kGroups256 = 2;
constexpr std::size_t kLanes256 = 32 * kGroups256;
constexpr Jump kJump256 = JumpOf(kLanes256);

// The draw's byte, 0..254, in the low byte of each lane.
__attribute__((target("avx2"), always_inline)) inline __m256i BytesOf(__m256i seed) {
  const __m256i high = _mm256_srli_epi32(seed, 24);
  const __m256i low = _mm256_slli_epi32(seed, 8);
  const __m256i noBorrow = _mm256_cmpeq_epi32(_mm256_min_epu32(low, seed), seed);
  return _mm256_add_epi32(high, _mm256_andnot_si256(noBorrow, _mm256_set1_epi32(-1)));
}

__attribute__((target("avx2"), always_inline)) inline __m256i Avx2Bytes(const __m256i* seeds) {
  const __m256i low = _mm256_or_si256(BytesOf(seeds[0]), _mm256_slli_epi32(BytesOf(seeds[1]), 8));
  const __m256i high =
      _mm256_or_si256(_mm256_slli_epi32(BytesOf(seeds[2]), 16), _mm256_slli_epi32(BytesOf(seeds[3]), 24));
  return _mm256_or_si256(low, high);
}

// Fills `blocks` × 64 bytes; returns the seed after the last draw.
__attribute__((target("avx2"))) std::uint32_t FillAvx2(std::uint32_t seed, std::uint8_t* out, std::size_t blocks) {
  const auto start = InterleavedSeeds<8, kLanes256>(seed);
  __m256i lanes[4 * kGroups256];
  for (std::size_t v = 0; v < 4 * kGroups256; ++v) {
    lanes[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(start.data() + 8 * v));
  }
  const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(kJump256.multiplier));
  const __m256i increment = _mm256_set1_epi32(static_cast<int>(kJump256.increment));
  for (std::size_t block = 0; block < blocks; ++block) {
#pragma GCC unroll 16
    for (std::size_t group = 0; group < kGroups256; ++group) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + block * kLanes256 + 32 * group),
                          Avx2Bytes(lanes + 4 * group));
    }
    if (block + 1 == blocks) break;
#pragma GCC unroll 16
    for (__m256i& lane : lanes) lane = _mm256_add_epi32(_mm256_mullo_epi32(lane, multiplier), increment);
  }
  return static_cast<std::uint32_t>(_mm256_extract_epi32(lanes[4 * kGroups256 - 1], 7));
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
