// Fuzz target for the complete DOT reader. For any text: it either fails
// with "line L, column C: ..." naming a place inside the text (or refuses a
// digraph), or gives a consistent graph (live counts, edges e1..eN between
// live nodes) that reads back the same when written out as DOT again.
// Reading is deterministic, and without quotes, HTML strings or carriage
// returns, LF and CR LF line ends read alike. The same bytes, taken as a
// small graph (fuzz_graph.h) and written in the line reader's subset, give
// the identical graph from both readers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dot/dot_parser.h"
#include "dot/dot_reader.h"
#include "dot/text_position.h"
#include "fuzz_check.h"
#include "fuzz_graph.h"

namespace tolva::fuzz {
namespace {

std::string outcome(const Result<GraphWrap>& read) {
  if (!read) return "error " + read.error().display();
  return "graph " + graph_listing(*read);
}

void check_graph(const GraphWrap& graph) {
  require(graph.node_indices().size() == graph.node_count(), "node_count differs from live slots");
  require(graph.edge_indices().size() == graph.edge_count(), "edge_count differs from live slots");
  for (NodeIndex node : graph.node_indices())
    require(graph.find(graph.id(node)) == node, "a node id does not find its own node");
  std::size_t number = 0;
  for (EdgeIndex edge : graph.edge_indices()) {
    require(graph.edge_id(edge) == "e" + std::to_string(++number), "edge ids are not e1..eN");
    auto ends = graph.endpoints(edge);
    require(ends && graph.node_occupied(ends->first) && graph.node_occupied(ends->second),
            "an edge touches a missing node");
  }
}

// "line L, column C: " must name a line of the text and a column at most one
// past that line's last character.
void check_error(const TolvaError& error, std::string_view text) {
  std::string_view message = error.message();
  if (error.kind() == ErrorKind::Unsupported) {
    require(message.starts_with("directed graph at line "), "unknown unsupported error");
    message.remove_prefix(std::string_view("directed graph at ").size());
  } else {
    require(error.kind() == ErrorKind::Parse, "error of an unexpected kind");
  }
  unsigned long line = 0, column = 0;
  int used = 0;
  std::string head(message.substr(0, 64));
  require(std::sscanf(head.c_str(), "line %lu, column %lu%n", &line, &column, &used) == 2 && used > 0,
          "error without line and column");
  TextPosition end = text_position(text, text.size());
  require(line >= 1 && line <= end.line, "error names a line that does not exist");
  // The longest possible line ends at the end of the text or before a line break.
  std::size_t longest = 0, current = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == '\n' || text[at] == '\r') {
      longest = std::max(longest, current);
      current = 0;
    } else if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
      ++current;
    }
  }
  require(column >= 1 && column <= longest + 1, "error names a column past every line");
}

// A value written so that the reader gives it back: quoted, or as an HTML
// string when the quoted form cannot hold it; nothing when neither can.
std::optional<std::string> written(std::string_view value) {
  bool quotable = !value.ends_with('\\');
  for (std::size_t i = 0; quotable && i + 1 < value.size(); ++i)
    if (value[i] == '\\' && (value[i + 1] == '"' || value[i + 1] == '\n' || value[i + 1] == '\r'))
      quotable = false;
  if (quotable) {
    std::string out = "\"";
    for (char c : value) {
      if (c == '"') out += '\\';
      out += c;
    }
    return out + "\"";
  }
  long depth = 0;
  for (char c : value) {
    depth += c == '<' ? 1 : c == '>' ? -1 : 0;
    if (depth < 0) return std::nullopt;
  }
  if (depth != 0) return std::nullopt;
  return "<" + std::string(value) + ">";
}

// The graph as DOT text: node statements in node order, then edges.
std::optional<std::string> write_dot(const GraphWrap& graph) {
  std::string out = "graph {\n";
  for (NodeIndex node : graph.node_indices()) {
    auto id = written(graph.id(node));
    auto label = written(graph.label(node));
    if (!id || !label) return std::nullopt;
    out += *id + " [label=" + *label + "]\n";
  }
  for (EdgeIndex edge : graph.edge_indices()) {
    auto [a, b] = *graph.endpoints(edge);
    auto modality = written(graph.modality(edge));
    if (!modality) return std::nullopt;
    out += *written(graph.id(a)) + " -- " + *written(graph.id(b)) + " [weight=" + *modality + "]\n";
  }
  return out + "}\n";
}

std::string with_crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The fuzz graph in the line reader's subset: plain ids, every label given
// before the edges, quoted labels and weights without quotes, commas,
// brackets or backslashes, and never an empty label.
std::string line_subset_text(const FuzzGraph& graph) {
  auto plain = [](std::string_view text) {
    std::string out;
    for (char c : text)
      if (c != '"' && c != ',' && c != ']' && c != '[' && c != '\\') out += c;
    return out;
  };
  std::string out = "graph G {\n";
  std::vector<std::string> names;
  for (std::size_t i = 0; i < graph.nodes.size(); ++i) {
    names.push_back("n" + std::to_string(i));
    std::string label = plain(graph.nodes[i][1]);
    out += names.back() + " [label=\"" + (label.empty() ? "." : label) + "\"];\n";
  }
  auto index_of = [&](const std::string& id) {
    for (std::size_t i = 0; i < graph.nodes.size(); ++i)
      if (graph.nodes[i][0] == id) return i;
    return std::size_t{0};
  };
  for (const EdgeItem& edge : graph.edges)
    out += names[index_of(edge[0])] + " -- " + names[index_of(edge[1])] + " [weight=\"" + plain(edge[2]) +
           "\"];\n";
  return out + "}\n";
}

}  // namespace
}  // namespace tolva::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolva;
  using namespace tolva::fuzz;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  DotReadOptions options;
  options.accept_directed = true;
  auto read = read_dot_graph(text, options);
  if (read) {
    check_graph(*read);
    if (auto again = write_dot(*read))
      require(outcome(read_dot_graph(*again, options)) == outcome(read), "written graph reads back differently");
  } else {
    check_error(read.error(), text);
  }
  std::string first = outcome(read);
  require(outcome(read_dot_graph(text, options)) == first, "reading twice gives different results");
  auto refused = read_dot_graph(text, DotReadOptions{});
  if (refused) require(outcome(refused) == first, "refusing digraphs changed an undirected graph");
  else check_error(refused.error(), text);
  if (text.find_first_of("\"<\r") == std::string_view::npos) {
    std::string crlf = with_crlf(text);
    require(outcome(read_dot_graph(crlf, options)) == first, "CR LF line ends change the result");
  }

  FuzzGraph graph = decode_fuzz_graph({data, size});
  std::string subset = line_subset_text(graph);
  auto line = parse_dot_content(subset);
  require(line.has_value(), "the line reader fails on its own subset");
  Result<GraphWrap> line_result = std::move(*line);
  require(outcome(read_dot_graph(subset, options)) == outcome(line_result),
          "the readers disagree on a file of the line reader's subset");
  return 0;
}
