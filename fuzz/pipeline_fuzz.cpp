// Fuzz target for the whole pipeline: a small graph decoded from the input
// (see fuzz_graph.h) goes through to_cgraph and canonical_node_order with
// every combination of allow_hashes, compress and compact. The properties
// checked are listed in README.md here; each `require` names its own.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "canonize/batch.h"
#include "canonize/brace_compression.h"
#include "canonize/candidate_rules.h"
#include "canonize/cgraph.h"
#include "canonize/node_order.h"
#include "fuzz_check.h"
#include "fuzz_graph.h"

namespace tolva::fuzz {
namespace {

constexpr std::string_view kBranchRule = "$depth > tree.parent_modality > $lexic";

std::string outcome(const Result<std::string>& result) {
  return result ? "ok " + *result : "error " + result.error().display();
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
  std::set<std::string> ids{std::string(graph.id(start))};
  std::vector<NodeIndex> stack{start};
  while (!stack.empty()) {
    NodeIndex node = stack.back();
    stack.pop_back();
    for (NodeIndex next : graph.neighbors(node))
      if (ids.insert(std::string(graph.id(next))).second) stack.push_back(next);
  }
  return ids;
}

// The order lists input ids only, each once, from a node of greatest degree
// over exactly that node's connected component.
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
  auto cgraph = [&](const GraphWrap& of, bool compress) {
    return to_cgraph(of, kDegreeRule, kBranchRule, allow_hashes, compress, compact);
  };
  auto plain = cgraph(graph, false);
  require(outcome(cgraph(graph, false)) == outcome(plain), "to_cgraph is not deterministic");
  require(outcome(cgraph(GraphWrap(graph), false)) == outcome(plain),
          "a copy of the graph gives another string");
  auto compressed = cgraph(graph, true);
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

// The batch path on two threads, each graph with its own trace buffer, each
// worker lending its storage to its calls in turn, gives what the single calls
// give, in order.
void check_batch(const GraphWrap& graph) {
  const GraphWrap copy = graph;
  std::vector<const GraphWrap*> graphs{&graph, &copy, &graph, &copy};
  std::vector<Result<std::string>> results(graphs.size(), std::string());
  auto run = run_indexed(graphs.size(), BatchRunOptions{2, false},
      [&](std::size_t i, StopControl& stop, RewriteScratch& scratch) {
        GraphTraceBuffer lines;
        CallControls controls{TraceSettings::fixed(false, false, lines), &stop, &scratch};
        results[i] = to_cgraph(*graphs[i], kDegreeRule, kBranchRule, i % 2 == 0, true, i >= 2, controls);
        return results[i].has_value();
      },
      [] { return false; });
  require(!run.cancelled, "a batch nobody cancelled was cancelled");
  for (std::size_t i = 0; i < graphs.size(); ++i)
    require(outcome(results[i]) == outcome(to_cgraph(graph, kDegreeRule, kBranchRule, i % 2 == 0, true, i >= 2)),
            "the batch path gives another outcome than a single call");
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
  check_batch(graph);
  auto other_rule = to_cgraph(graph, "$bogus", kBranchRule, true, true, false);
  require(!other_rule && other_rule.error().kind() == ErrorKind::Unsupported,
          "an unknown candidate rule is accepted");
  return 0;
}
