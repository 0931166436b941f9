// Fuzz target for the whole pipeline: a small graph decoded from the input
// (see fuzz_graph.h) goes through to_cgraph and canonical_node_order with
// every combination of allow_hashes, compress and compact.
//
// Checked for every combination: the only error is a rewrite limit
// (Unsupported "dag rewrite ... limit"); a second run and a run on a copy of
// the graph give the same outcome; the compressed string is the brace
// compression of the plain one; with plain labels and modalities the plain
// string has balanced brackets and braces; the node order lists input ids
// only, each once, starting with a node of greatest degree, covers exactly
// the connected component of its first node, and fails exactly when the
// string does.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "canonize/brace_compression.h"
#include "canonize/candidate_rules.h"
#include "canonize/cgraph.h"
#include "canonize/node_order.h"
#include "fuzz_check.h"
#include "fuzz_graph.h"

namespace tolva::fuzz {
namespace {

constexpr std::string_view kBranchRule = "$depth > tree.parent_modality > $lexic";

template <typename T>
std::string outcome(const Result<T>& result, auto&& show) {
  if (result) return "ok " + show(*result);
  return "error " + result.error().display();
}

std::string show_text(const std::string& text) { return text; }
std::string show_order(const std::vector<std::string>& order) {
  std::string out;
  for (const std::string& id : order) out += id + '\x1f';
  return out;
}

void require_allowed_error(const TolvaError& error) {
  require(error.kind() == ErrorKind::Unsupported && error.message().starts_with("dag rewrite") &&
              error.message().ends_with("limit"),
          "unexpected error: " + error.display());
}

// Brackets and braces close in order and nothing stays open.
bool balanced(std::string_view text) {
  std::string open;
  for (char c : text) {
    if (c == '(' || c == '{') open += c;
    if (c == ')' || c == '}') {
      if (open.empty() || open.back() != (c == ')' ? '(' : '{')) return false;
      open.pop_back();
    }
  }
  return open.empty();
}

// Ids of the nodes connected to `start`, `start` included.
std::set<std::string> component_of(const GraphWrap& graph, NodeIndex start) {
  std::set<std::string> ids{graph.node(start)->id};
  std::vector<NodeIndex> stack{start};
  while (!stack.empty()) {
    NodeIndex node = stack.back();
    stack.pop_back();
    for (NodeIndex next : graph.neighbors(node))
      if (ids.insert(graph.node(next)->id).second) stack.push_back(next);
  }
  return ids;
}

void check_order(const GraphWrap& graph, const std::vector<std::string>& order) {
  require(!order.empty(), "empty node order for a non-empty graph");
  std::set<std::string> listed(order.begin(), order.end());
  require(listed.size() == order.size(), "node order lists an id twice");
  for (const std::string& id : order) require(graph.find(id).has_value(), "node order lists a non-input id");
  NodeIndex root = *graph.find(order.front());
  std::size_t top = 0;
  for (NodeIndex node : graph.node_indices()) top = std::max(top, graph.degree(node));
  require(graph.degree(root) == top, "node order does not start at a node of greatest degree");
  require(listed == component_of(graph, root), "node order is not the root's component");
}

void check_combination(const FuzzGraph& input, const GraphWrap& graph, bool allow_hashes,
                       bool compact) {
  auto plain = to_cgraph(graph, kDegreeRule, kBranchRule, allow_hashes, false, compact);
  std::string plain_outcome = outcome(plain, show_text);
  GraphWrap copy = graph;
  require(outcome(to_cgraph(graph, kDegreeRule, kBranchRule, allow_hashes, false, compact), show_text) ==
              plain_outcome,
          "to_cgraph is not deterministic");
  require(outcome(to_cgraph(copy, kDegreeRule, kBranchRule, allow_hashes, false, compact), show_text) ==
              plain_outcome,
          "a copy of the graph gives another string");
  auto compressed = to_cgraph(graph, kDegreeRule, kBranchRule, allow_hashes, true, compact);
  auto order = canonical_node_order(graph, kDegreeRule, kBranchRule, allow_hashes, compact);
  if (!plain) {
    require_allowed_error(plain.error());
    require(!compressed && compressed.error() == plain.error(), "compress changes the error");
    require(!order && order.error() == plain.error(), "node order fails differently");
    return;
  }
  require(compressed && *compressed == compress_braces(*plain),
          "compressed string is not the compression of the plain one");
  require(!plain->empty(), "empty string for a non-empty graph");
  if (input.plain_text) require(balanced(*plain), "unbalanced brackets with plain labels");
  require(order.has_value(), "node order fails where the string does not");
  check_order(graph, *order);
}

}  // namespace
}  // namespace tolva::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolva;
  using namespace tolva::fuzz;
  FuzzGraph input = decode_fuzz_graph({data, size});
  GraphWrap graph = input.build();
  for (bool allow_hashes : {false, true})
    for (bool compact : {false, true}) check_combination(input, graph, allow_hashes, compact);
  auto other_rule = to_cgraph(graph, "$bogus", kBranchRule, true, true, false);
  require(!other_rule && other_rule.error().kind() == ErrorKind::Unsupported,
          "an unknown candidate rule is accepted");
  return 0;
}
