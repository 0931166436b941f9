#include "tree/text_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tolva {
namespace {

struct Wide {
  std::uint64_t a;
  std::uint32_t b;
};

// Rounds of texts and aligned arrays of random sizes, some far larger than a
// block, each filled with its own pattern: no allocation may overlap another
// of its round, arrays keep their alignment, and after a reset the arena
// hands out its first block again instead of new memory.
TEST(TextArena, AllocationsOfARoundStayApartAndAResetReusesTheBlocks) {
  std::mt19937 random(5);
  TextArena arena(64);
  char* first_of_round = nullptr;
  for (int round = 0; round < 50; ++round) {
    struct Made {
      char* text;
      std::size_t size;
      char fill;
    };
    std::vector<Made> made;
    std::vector<std::pair<Wide*, std::size_t>> arrays;
    for (int i = 0; i < 200; ++i) {
      if (random() % 4 == 0) {
        std::size_t count = 1 + random() % 9;
        Wide* array = arena.array<Wide>(count);
        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(array) % alignof(Wide), 0u);
        for (std::size_t k = 0; k < count; ++k) array[k] = Wide{static_cast<std::uint64_t>(i), static_cast<std::uint32_t>(k)};
        arrays.emplace_back(array, count);
        continue;
      }
      std::size_t size = random() % 8 == 0 ? random() % 5000 : random() % 40;
      char* text = arena.chars(size);
      char fill = static_cast<char>('a' + i % 26);
      std::fill(text, text + size, fill);
      made.push_back(Made{text, size, fill});
    }
    for (const Made& m : made)
      for (std::size_t k = 0; k < m.size; ++k) ASSERT_EQ(m.text[k], m.fill) << round;
    for (std::size_t j = 0; j < arrays.size(); ++j)
      for (std::size_t k = 0; k < arrays[j].second; ++k) ASSERT_EQ(arrays[j].first[k].b, k) << round;
    arena.reset();
    char* first = arena.chars(1);
    if (first_of_round != nullptr) EXPECT_EQ(first, first_of_round) << round;
    first_of_round = first;
    arena.reset();
  }
}

}  // namespace
}  // namespace tolva
