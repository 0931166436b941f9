// One line of a JSON Lines graph corpus, read in native code:
//
//   {"name": "g1", "nodes": [["a", "C"], ["b", "O"]], "edges": [["a", "b", "2"]]}
//
// A corpus of small graphs spends much of its reading time decoding JSON
// into Python objects only to convert them again. This reader takes the
// plain form of a line straight to node and edge lists: one object with the
// string "name", "nodes" (pairs of strings) and "edges" (triples of strings),
// other keys only with string values, each key once, JSON white space, every
// JSON string escape, valid UTF-8. Anything else (numbers, nesting, a
// missing or doubled key, a lone surrogate escape, a syntax error) gives
// nothing, and the caller reads the line with a full JSON reader, which also
// names the fault; so whatever this returns is what that reader would make.
//
// The graph is the one graph_from_lists (edge_list.h) builds from the lists.
//
//   auto line = read_plain_graph_line(R"({"name":"x","nodes":[],"edges":[["a","b","1"]]})");
//   // line->name "x"; line->graph: nodes a, b labelled ".", edge e1 a-b "1"
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "graph/graph_wrap.h"

namespace tolva {

struct GraphJsonLine {
  std::string name;
  GraphWrap graph;
};

std::optional<GraphJsonLine> read_plain_graph_line(std::string_view line);

}  // namespace tolva
