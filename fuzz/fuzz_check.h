// The fuzz targets check properties, not only the absence of crashes: a
// broken property prints what failed and aborts, which libFuzzer reports as
// a crash and saves as a reproducer.
//
//   require(order.size() <= graph.node_count(), "node order longer than the graph");
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tolva::fuzz {

inline void require(bool holds, std::string_view what) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %.*s\n", static_cast<int>(what.size()), what.data());
  std::abort();
}

}  // namespace tolva::fuzz
