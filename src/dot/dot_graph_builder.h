// DotGraphBuilder: what the statements of a DOT graph mean, applied to a
// GraphWrap while a parser walks the text.
//
// The rules are Graphviz's:
//   - a node exists from its first mention (node statement, edge end, member
//     of an edge's node list or subgraph); nodes are numbered in that order;
//   - `node [k=v]` and `edge [k=v]` set defaults for nodes and edges created
//     afterwards in the same subgraph and the subgraphs inside it; a subgraph
//     starts from its parent's defaults plus what it set itself earlier (a
//     named subgraph can be reopened); nodes that already exist keep theirs;
//   - a node's label is the last value its statements give the label key,
//     else the default it was created with, else ".";
//   - an edge's modality is the first of the modality keys that its statement
//     or its defaults give a value, else "1";
//   - a subgraph used as an edge end stands for every node mentioned in it or
//     in the subgraphs inside it, in node order;
//   - in a strict graph a second edge between the same two nodes (the same
//     tail and head when directed) is not added: its statement's attributes
//     are written onto the first one (so a strict graph's edges enter the
//     store at finish(), in the order they were first made).
// Edges get the store's names "e1", "e2", ... in the order they are made.
// They reach the store in batches (edge_batch.h), which changes nothing the
// store holds at finish().
//
//   DotGraphBuilder builder(options, /*strict=*/false, /*directed=*/false);
//   NodeIndex a = builder.mention_node("a");
//   NodeIndex b = builder.mention_node("b");
//   EdgeAttributes attributes = builder.new_edge_attributes();
//   builder.add_edge(a, b, attributes);   // e1 a-b, modality "1"
//   GraphWrap graph = std::move(builder).finish();
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dot/edge_batch.h"
#include "dot/node_id_cache.h"
#include "dot/node_pair_index.h"
#include "graph/graph_wrap.h"

namespace tolva {

struct DotReadOptions {
  // Read a digraph's edges as undirected ones instead of refusing it.
  bool accept_directed = false;
  // The node attribute that gives the label.
  std::string label_key = "label";
  // The edge attributes that may give the modality, the first present wins.
  std::vector<std::string> modality_keys = {"weight", "label"};
};

// Values a statement gives the modality keys, by position in modality_keys.
using EdgeAttributes = std::vector<std::optional<std::string>>;

using SubgraphId = std::uint32_t;

class DotGraphBuilder {
 public:
  DotGraphBuilder(const DotReadOptions& options, bool strict, bool directed);

  const DotReadOptions& options() const { return options_; }

  // Position of `key` in modality_keys, or -1.
  int modality_slot(std::string_view key) const;
  EdgeAttributes new_edge_attributes() const {
    return EdgeAttributes(options_.modality_keys.size());
  }

  // Subgraph bodies nest: open one (named or anonymous) inside the current
  // one, close it to get its id for use as an edge end.
  void open_subgraph(std::optional<std::string_view> name);
  SubgraphId close_subgraph();

  // `node [label=...]` and `edge [...]` in the current subgraph.
  void set_node_label_default(std::string_view value);
  void set_edge_defaults(const EdgeAttributes& values);

  // The node with this id, created with the current defaults when new; it
  // becomes a member of the current subgraph.
  NodeIndex mention_node(std::string_view id);
  // Says that `id` will soon be mentioned: its lookup starts loading now.
  // Changes nothing.
  void expect_mention(std::string_view id) const { known_ids_.prefetch(id); }
  void set_node_label(NodeIndex node, std::string_view label);

  // Appends the nodes of a subgraph and the subgraphs inside it, ascending.
  void append_subgraph_nodes(SubgraphId subgraph, std::vector<NodeIndex>& out) const;

  void add_edge(NodeIndex tail, NodeIndex head, const EdgeAttributes& statement);
  // Room for this many edges in the store, taken at once.
  void reserve_edges(std::size_t count) { graph_.reserve_edges(count); }

  GraphWrap finish() &&;

 private:
  struct Subgraph {
    std::vector<NodeIndex> members;  // in mention order, repeats allowed
    std::vector<SubgraphId> children;
    // What `node [...]` / `edge [...]` set inside this subgraph itself.
    std::optional<std::string> node_label;
    EdgeAttributes edge_values;
  };
  struct Scope {
    SubgraphId subgraph;
    std::optional<std::string> node_label;  // in force here, inherited or own
    EdgeAttributes edge_values;
  };

  // A strict graph's edge; its values of the modality keys are the
  // key-count entries of strict_values_ from number * key count on.
  struct StrictEdge {
    NodeIndex tail;
    NodeIndex head;
  };

  // The modality of a new edge: the statement's values over the defaults.
  std::string_view modality_for(const EdgeAttributes& statement) const;

  const DotReadOptions& options_;
  bool strict_;
  bool directed_;
  GraphWrap graph_;
  NodeIdCache known_ids_;
  std::vector<Subgraph> subgraphs_;  // [0] is the graph itself
  std::vector<Scope> scopes_;
  // (parent subgraph, name) of named subgraphs, for reopening them.
  std::unordered_map<std::string, SubgraphId> named_;
  // Strict graphs only: one edge per node pair, kept here until finish()
  // with its values as views of texts the graph holds.
  NodePairIndex strict_edge_of_pair_;
  std::vector<StrictEdge> strict_edges_;
  std::vector<std::optional<std::string_view>> strict_values_;
  EdgeBatch new_edges_;
};

}  // namespace tolva
