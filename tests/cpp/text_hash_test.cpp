#include "graph/text_hash.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <unordered_set>

namespace tolva {
namespace {

// Each byte is read: changing any one bit of a text of any length up to a few
// words changes its hash, and so does adding a zero byte.
TEST(TextHash, EveryByteAndTheLengthCount) {
  std::mt19937 random(11);
  for (std::size_t size = 0; size <= 48; ++size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) text += static_cast<char>(random());
    const std::uint64_t hash = text_hash(text);
    EXPECT_NE(text_hash(text + '\0'), hash) << size;
    for (std::size_t i = 0; i < size; ++i)
      for (int bit = 0; bit < 8; ++bit) {
        std::string changed = text;
        changed[i] = static_cast<char>(changed[i] ^ (1 << bit));
        EXPECT_NE(text_hash(changed), hash) << "size " << size << " byte " << i << " bit " << bit;
      }
  }
}

// Tables take the low bits: node ids that differ in a digit or two spread
// over them as random values would (about 63% of 2^16 buckets filled by 2^16
// keys), not into a few runs.
TEST(TextHash, SimilarIdsSpreadOverTheLowBits) {
  for (const std::string& prefix : {"", "n", "a#m0_", "node-with-a-long-common-prefix-"}) {
    std::unordered_set<std::uint64_t> buckets;
    for (int i = 0; i < 1 << 16; ++i) buckets.insert(text_hash(prefix + std::to_string(i)) & 0xffff);
    EXPECT_GT(buckets.size(), 40000u) << prefix;
  }
}

}  // namespace
}  // namespace tolva
