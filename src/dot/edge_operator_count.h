// How many times an edge operator ("--" or "->") occurs in a DOT text,
// comments and strings included: a reader's estimate of the edges to come,
// so that the graph store takes room for them at once instead of growing its
// edge slots step by step (each step copies them all and briefly holds both
// copies).
//
//   count_edge_operators("a -- b; b -- c", "--");   // 2
#pragma once

#include <cstddef>
#include <string_view>

namespace tolva {

std::size_t count_edge_operators(std::string_view text, std::string_view op);

}  // namespace tolva
