// Fuzz target for the DOT reader: any text either fails with a "line N: "
// message naming a real line, or gives a graph that agrees with a simple
// recount of its edge statements and node ids and whose edges are e1..eN.
// Reading is deterministic and does not depend on the line ending.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "dot/dot_reader.h"
#include "dot/unicode_space.h"
#include "fuzz_check.h"
#include "fuzz_graph.h"

namespace tolva::fuzz {
namespace {

struct Recount {
  std::size_t lines = 0;
  std::size_t edges = 0;
  std::set<std::string> ids;
};

// Counts what a reader must have built, line by line, with the library's own
// id rule but none of its graph code.
Recount recount(std::string_view text) {
  Recount count;
  while (!text.empty()) {
    std::size_t feed = text.find('\n');
    std::string_view line = trim_white_space(text.substr(0, feed));
    text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
    ++count.lines;
    if (line.empty() || line.starts_with("graph") || line.starts_with("strict graph") ||
        line.starts_with("}"))
      continue;
    if (std::size_t dashes = line.find("--"); dashes != std::string_view::npos) {
      std::string_view rest = trim_white_space(line.substr(dashes + 2));
      if (rest.ends_with(';')) rest.remove_suffix(1);
      for (std::string_view end : {line.substr(0, dashes), rest})
        if (auto id = parse_node_id(end)) count.ids.insert(*id);
      ++count.edges;
    } else if (line.find('[') != std::string_view::npos) {
      if (auto id = parse_node_id(line)) count.ids.insert(*id);
    }
  }
  return count;
}

// The graph as its node (id, label) and edge (id, ends, modality) listing, or
// the error, for comparisons.
std::string outcome(const std::expected<GraphWrap, std::string>& read) {
  if (!read) return "error " + read.error();
  return "graph " + graph_listing(*read);
}

std::string with_crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void check_graph(const GraphWrap& graph, const Recount& count) {
  require(graph.node_indices().size() == graph.node_count(), "node_count differs from live slots");
  require(graph.edge_indices().size() == graph.edge_count(), "edge_count differs from live slots");
  require(graph.edge_count() == count.edges, "edge_count differs from the edge statements");
  std::set<std::string> ids;
  for (NodeIndex node : graph.node_indices()) {
    std::string id(graph.id(node));
    require(graph.find(id) == node, "a node id does not find its own node");
    ids.insert(id);
  }
  require(ids.size() == graph.node_count(), "two nodes share an id");
  require(ids == count.ids, "node ids differ from the recount");
  std::size_t number = 0;
  for (EdgeIndex edge : graph.edge_indices()) {
    require(graph.edge_id(edge) == "e" + std::to_string(++number), "edge ids are not e1..eN");
    auto ends = graph.endpoints(edge);
    require(ends && graph.node_occupied(ends->first) && graph.node_occupied(ends->second),
            "an edge touches a missing node");
  }
}

void check_error(const std::string& message, const Recount& count) {
  require(message.starts_with("line "), "error without a line number");
  std::size_t line = std::stoul(message.substr(5));
  require(line >= 1 && line <= count.lines, "error names a line that does not exist");
  std::string_view reason = std::string_view(message).substr(message.find(": ") + 2);
  require(reason == "empty node id" || reason.starts_with("invalid node id in '"),
          "unknown error message");
}

}  // namespace
}  // namespace tolva::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolva;
  using namespace tolva::fuzz;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto read = parse_dot_content(text);
  Recount count = recount(text);
  if (read) check_graph(*read, count);
  else check_error(read.error(), count);
  std::string first = outcome(read);
  require(outcome(parse_dot_content(text)) == first, "reading twice gives different results");
  require(outcome(parse_dot_content(with_crlf(text))) == first,
          "CR LF line ends change the result");
  if (!text.ends_with('\n'))
    require(outcome(parse_dot_content(std::string(text) + "\n")) == first,
            "a final line feed changes the result");
  return 0;
}
