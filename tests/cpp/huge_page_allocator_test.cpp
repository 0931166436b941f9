#include "graph/huge_page_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolva {
namespace {

// Blocks from 4 MiB on start on a huge-page boundary, smaller ones are
// ordinary; both keep what is written through a vector's growth.
TEST(HugePageAllocator, AlignsLargeBlocksAndKeepsContents) {
  std::vector<std::uint64_t, HugePageAllocator<std::uint64_t>> table;
  for (std::uint64_t i = 0; i < (std::uint64_t{3} << 20); ++i) table.push_back(i * 7);
  EXPECT_GE(table.capacity() * sizeof(std::uint64_t), HugePageAllocator<std::uint64_t>::kSmallestHugeBlock);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(table.data()) % HugePageAllocator<std::uint64_t>::kHugePage, 0u);
  for (std::uint64_t i = 0; i < table.size(); i += 4093) ASSERT_EQ(table[i], i * 7);

  std::vector<char, HugePageAllocator<char>> small(100, 'x');
  EXPECT_EQ(std::string(small.begin(), small.end()), std::string(100, 'x'));
}

TEST(HugePageAllocator, RefusesSizesPastTheAddressSpace) {
  HugePageAllocator<std::uint64_t> allocator;
  EXPECT_THROW(static_cast<void>(allocator.allocate(static_cast<std::size_t>(-1) / 4)), std::bad_alloc);
}

}  // namespace
}  // namespace tolva
