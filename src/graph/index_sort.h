// Sorting lists of node or edge indices, ascending.
//
// A split in an expanded DAG reads a region of millions of nodes and edges
// and copies them in index order; a comparison sort of those lists was a
// twentieth of such a call. Indices are 32-bit keys, so a radix sort (a few
// counting passes over 11-bit digits, as many as the largest index needs)
// orders a long list in linear time. Equal keys keep their order, so the
// result is exactly std::sort's. Short lists take std::sort, which is faster
// there.
//
//   std::vector<std::uint32_t> members = {7, 2, 5}, scratch;
//   sort_indices(members, scratch);   // {2, 5, 7}; scratch is working room
#pragma once

#include <cstdint>
#include <vector>

namespace tolva {

// Sorts `values` ascending; `scratch` is working room, kept by the caller so
// that repeated sorts do not allocate.
void sort_indices(std::vector<std::uint32_t>& values, std::vector<std::uint32_t>& scratch);

}  // namespace tolva
