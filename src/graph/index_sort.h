// Sorting lists of distinct node or edge indices, ascending.
//
// A split in an expanded DAG reads a region of millions of nodes and edges
// and copies them in index order; a comparison sort of those lists was a
// twentieth of such a call. The indices are distinct 32-bit keys, so:
//  - when they are dense within their range (the usual case: a region is
//    most of what the DAG made after its root), each sets a bit in a bitmap
//    over the range, and one scan of the bitmap reads them back in order;
//  - otherwise a radix sort (two or three counting passes over the digits
//    the largest index needs) orders them in linear time;
//  - a short list takes std::sort, which is faster there.
// Each way gives std::sort's result.
//
//   std::vector<std::uint32_t> members = {7, 2, 5};
//   IndexSortRoom room;
//   sort_distinct_indices(members, room);   // {2, 5, 7}
#pragma once

#include <cstdint>
#include <vector>

namespace tolva {

// Working room of sort_distinct_indices, kept by the caller so that repeated
// sorts do not allocate. Its bitmap is left all clear after every sort.
struct IndexSortRoom {
  std::vector<std::uint32_t> values;
  std::vector<std::uint64_t> bits;
};

// Sorts `values`, which holds no index twice, ascending.
void sort_distinct_indices(std::vector<std::uint32_t>& values, IndexSortRoom& room);

}  // namespace tolva
