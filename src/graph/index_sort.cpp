#include "graph/index_sort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace tolva {
namespace {

constexpr int kDigitBits = 11;
constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
// Below this many values a counting pass costs more than it saves.
constexpr std::size_t kShortestRadixList = 2048;

// One stable counting pass on the digit at `shift`, from `in` into `out`.
void counting_pass(const std::vector<std::uint32_t>& in, std::vector<std::uint32_t>& out, int shift) {
  std::array<std::uint32_t, kBuckets> starts{};
  for (std::uint32_t value : in) ++starts[(value >> shift) & (kBuckets - 1)];
  std::uint32_t next = 0;
  for (std::uint32_t& start : starts) next += std::exchange(start, next);
  for (std::uint32_t value : in) out[starts[(value >> shift) & (kBuckets - 1)]++] = value;
}

}  // namespace

void sort_indices(std::vector<std::uint32_t>& values, std::vector<std::uint32_t>& scratch) {
  if (values.size() < kShortestRadixList) {
    std::sort(values.begin(), values.end());
    return;
  }
  std::uint32_t largest = *std::max_element(values.begin(), values.end());
  int bits = std::bit_width(largest);
  scratch.resize(values.size());
  for (int shift = 0; shift < bits; shift += kDigitBits) {
    counting_pass(values, scratch, shift);
    values.swap(scratch);
  }
}

}  // namespace tolva
