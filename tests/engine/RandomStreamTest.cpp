#include "engine/RandomStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace omrek {
namespace {

// The generator as words describe it: seed × 134775813 + 1 modulo 2^32,
// the byte the high 32 bits of the 64-bit product seed × 255.
std::vector<std::uint8_t> Reference(std::uint32_t& seed, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  for (auto& byte : bytes) {
    seed = static_cast<std::uint32_t>(static_cast<std::uint64_t>(seed) * 134775813u + 1u);
    byte = static_cast<std::uint8_t>((static_cast<std::uint64_t>(seed) * 255u) >> 32);
  }
  return bytes;
}

TEST(RandomStream, EveryKernelDrawsExactlyTheReferenceBytes) {
  using Kernel = RandomStream::Kernel;
  for (const Kernel kernel : {Kernel::Avx512, Kernel::Avx2, Kernel::OneByOne}) {
    if (!RandomStream::Supports(kernel)) continue;
    for (const std::uint32_t seed : {0u, 1u, 12345u, 86399999u, 0xFFFFFFFFu}) {
      // Around each kernel's block: 32 and 64 bytes (AVX2), 256 (AVX-512).
      for (const std::size_t count :
           {0u, 1u, 31u, 32u, 33u, 63u, 64u, 65u, 127u, 128u, 255u, 256u, 257u, 511u, 512u, 4103u, (1u << 20) + 13u}) {
        std::uint32_t expectedSeed = seed;
        const auto expected = Reference(expectedSeed, count);
        RandomStream stream(seed);
        std::vector<std::uint8_t> bytes(count);
        stream.FillWith(kernel, bytes.data(), count);
        ASSERT_EQ(bytes, expected) << "kernel " << static_cast<int>(kernel) << ", seed " << seed << ", " << count;
        ASSERT_EQ(stream.Seed(), expectedSeed) << "the stream goes on where one-by-one draws would";
      }
    }
  }
}

TEST(RandomStream, SplitFillsContinueTheSameStream) {
  std::uint32_t seed = 777;
  const auto expected = Reference(seed, 10000);
  RandomStream stream(777);
  std::vector<std::uint8_t> bytes(10000);
  std::size_t done = 0;
  for (const std::size_t piece : {3u, 29u, 512u, 1000u, 64u, 8392u}) {
    stream.Fill(bytes.data() + done, piece);
    done += piece;
  }
  EXPECT_EQ(bytes, expected);
}

TEST(RandomStream, NeverDraws255) {
  std::vector<std::uint8_t> bytes(1 << 24);
  RandomStream(4242).Fill(bytes.data(), bytes.size());
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 255), 0);
  EXPECT_GT(std::count(bytes.begin(), bytes.end(), 254), 0);
  EXPECT_GT(std::count(bytes.begin(), bytes.end(), 0), 0);
}

}  // namespace
}  // namespace omrek
