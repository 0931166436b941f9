#include "graph/pod_vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace tolva {
namespace {

struct Record {
  std::uint32_t a = 7;
  std::uint64_t b = 0;
  bool operator==(const Record&) const = default;
};

template <typename T>
std::vector<T> contents(const PodVector<T>& records) {
  return std::vector<T>(records.begin(), records.end());
}

// A random run of every operation, side by side with std::vector, across
// enough growth that large blocks are moved by realloc: same contents after
// every step, default-made records included.
TEST(PodVector, BehavesAsStdVectorThroughGrowth) {
  std::mt19937 random(5);
  PodVector<Record> records;
  std::vector<Record> model;
  for (int step = 0; step < 4000; ++step) {
    switch (random() % 8) {
      case 0: {
        std::size_t count = model.size() + random() % 50000;
        Record value{static_cast<std::uint32_t>(step), random()};
        records.resize(count, value);
        model.resize(count, value);
        break;
      }
      case 1:
        if (random() % 20 == 0) {
          records.clear();
          model.clear();
        }
        break;
      case 2: {
        std::size_t count = random() % 100;
        Record value{1, static_cast<std::uint64_t>(step)};
        records.assign(count, value);
        model.assign(count, value);
        break;
      }
      case 3: {
        PodVector<Record> copy = records;
        records = std::move(copy);
        break;
      }
      default:
        records.emplace_back().b = static_cast<std::uint64_t>(step);
        model.emplace_back().b = static_cast<std::uint64_t>(step);
    }
    ASSERT_EQ(contents(records), model) << "step " << step;
    ASSERT_GE(records.capacity(), records.size());
  }
}

// A copy into an array with room keeps that array's block (the graph store
// recycles the tables of graphs done with this way); one without room gets
// one; moving hands the block over and leaves the source empty.
TEST(PodVector, CopiesIntoTheRoomItHasAndMovesTheBlock) {
  PodVector<Record> large;
  large.resize(1000, Record{1, 2});
  PodVector<Record> small;
  small.resize(10, Record{3, 4});

  const Record* block = large.begin();
  large = small;
  EXPECT_EQ(large.begin(), block);
  EXPECT_EQ(large.capacity(), 1000u);
  EXPECT_EQ(contents(large), contents(small));

  PodVector<Record> grown;
  grown = large;
  EXPECT_NE(grown.begin(), large.begin());
  EXPECT_EQ(contents(grown), contents(small));

  PodVector<Record> taken = std::move(large);
  EXPECT_EQ(taken.begin(), block);
  EXPECT_TRUE(large.empty());
  EXPECT_EQ(large.capacity(), 0u);
  large.emplace_back();  // a moved-from array is usable again
  EXPECT_EQ(contents(large), std::vector<Record>{Record{}});
}

// Zeroed arrays of several sizes, over arrays full of other records, large
// ones included: every byte of every record is zero, whatever was there.
TEST(PodVector, AssignZeroedLeavesOnlyZeroBytes) {
  PodVector<Record> records;
  for (std::size_t count : {std::size_t{3}, std::size_t{0}, std::size_t{100'000}, std::size_t{17}}) {
    records.resize(count + 5, Record{9, 9});
    records.assign_zeroed(count);
    ASSERT_EQ(records.size(), count);
    ASSERT_EQ(contents(records), std::vector<Record>(count, Record{0, 0})) << count;
  }
}

}  // namespace
}  // namespace tolva
