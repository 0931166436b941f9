#include "graph/index_sort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace tolva {
namespace {

constexpr int kWidestDigit = 12;
// Below this many values a counting pass or a bitmap costs more than it saves.
constexpr std::size_t kShortestList = 2048;
// A bitmap is scanned when it holds at most this many bits per value.
constexpr std::uint64_t kMostBitsPerValue = 128;

// One stable counting pass on the `width`-bit digit at `shift`, from `in` into `out`.
void counting_pass(const std::vector<std::uint32_t>& in, std::vector<std::uint32_t>& out, int shift, int width) {
  static_assert(kWidestDigit <= 12, "the counts live on the stack");
  std::array<std::uint32_t, std::size_t{1} << kWidestDigit> starts{};
  const std::uint32_t mask = (std::uint32_t{1} << width) - 1;
  for (std::uint32_t value : in) ++starts[(value >> shift) & mask];
  std::uint32_t next = 0;
  for (std::size_t digit = 0; digit <= mask; ++digit) next += std::exchange(starts[digit], next);
  for (std::uint32_t value : in) out[starts[(value >> shift) & mask]++] = value;
}

void radix_sort(std::vector<std::uint32_t>& values, std::vector<std::uint32_t>& room, std::uint32_t largest) {
  int bits = std::bit_width(largest);
  int passes = (bits + kWidestDigit - 1) / kWidestDigit;
  if (passes == 0) return;
  int width = (bits + passes - 1) / passes;
  room.resize(values.size());
  for (int shift = 0; shift < bits; shift += width) {
    counting_pass(values, room, shift, width);
    values.swap(room);
  }
}

// Sets a bit per value over [smallest, smallest + 64 * words), then reads
// the set bits back in order, clearing them.
void bitmap_sort(std::vector<std::uint32_t>& values, std::vector<std::uint64_t>& bits, std::uint32_t smallest,
                 std::size_t words) {
  if (bits.size() < words) bits.resize(words, 0);
  for (std::uint32_t value : values) {
    std::uint32_t offset = value - smallest;
    bits[offset / 64] |= std::uint64_t{1} << (offset % 64);
  }
  std::size_t out = 0;
  for (std::size_t word = 0; word < words; ++word)
    for (std::uint64_t set = std::exchange(bits[word], 0); set != 0; set &= set - 1)
      values[out++] = smallest + static_cast<std::uint32_t>(64 * word + std::countr_zero(set));
}

}  // namespace

void sort_distinct_indices(std::vector<std::uint32_t>& values, IndexSortRoom& room) {
  if (values.size() < kShortestList) {
    std::sort(values.begin(), values.end());
    return;
  }
  auto [smallest, largest] = std::minmax_element(values.begin(), values.end());
  std::uint64_t range = std::uint64_t{*largest} - *smallest + 1;
  if (range <= kMostBitsPerValue * values.size())
    bitmap_sort(values, room.bits, *smallest, static_cast<std::size_t>((range + 63) / 64));
  else
    radix_sort(values, room.values, *largest);
}

}  // namespace tolva
