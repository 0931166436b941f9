#include "dot/edge_operator_count.h"

namespace tolva {

std::size_t count_edge_operators(std::string_view text, std::string_view op) {
  std::size_t count = 0;
  for (std::size_t at = text.find(op); at != std::string_view::npos; at = text.find(op, at + op.size()))
    ++count;
  return count;
}

}  // namespace tolva
