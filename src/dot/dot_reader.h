// The DOT reader: builds a GraphWrap from a small, line-oriented subset of
// the DOT language.
//
// One statement per line. A line containing "--" is an undirected edge (its
// modality from the `weight` attribute, default "1"); otherwise a line with
// "[" is a node statement (its label from the `label` attribute, default
// "."); everything else is skipped. Nodes are numbered in the order first
// met, edges are named "e1", "e2", ... in input order.
//
//   auto graph = parse_dot_content("graph G {\n a [label=A];\n a -- b [weight=2];\n}");
//   // nodes a (A), b (.); edge e1 a-b with modality 2
//
// Failures are messages (the caller reports them as parse errors): an unusable
// node id gives "line N: empty node id" or "line N: invalid node id in '...'";
// an unreadable file gives the system's description of the failure.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "error/stop_control.h"
#include "graph/graph_wrap.h"

namespace tolva {

std::expected<GraphWrap, std::string> parse_dot_content(std::string_view text);

// Reads the whole file as UTF-8 and parses it. Read failures are reported as
// "<system text> (os error N)", invalid UTF-8 as "stream did not contain valid UTF-8",
// a path containing a NUL character as "file name contained an unexpected NUL byte".
std::expected<GraphWrap, std::string> parse_dot_file(std::string_view path, StopControl* stop = nullptr);

// The node id at the start of `text`: trimmed, then up to the first white
// space or "[". Fails with "empty node id" or "invalid node id in '<text>'".
std::expected<std::string, std::string> parse_node_id(std::string_view text);

}  // namespace tolva
