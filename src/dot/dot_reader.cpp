#include "dot/dot_reader.h"

#include <map>
#include <optional>

#include "dot/edge_operator_count.h"
#include "dot/file_text.h"
#include "dot/line_graph_builder.h"
#include "dot/unicode_space.h"

namespace tolva {
namespace {

// Attribute key -> value of one statement; a later key replaces an earlier one.
using Attributes = std::map<std::string, std::string, std::less<>>;

// Calls f(line) for each line: split at line feeds, a carriage return right
// before a line feed dropped with it, no extra empty line after a final feed.
// Stops early, returning f's failure, when f returns one.
template <typename F>
std::expected<void, std::string> for_each_line(std::string_view text, F&& f) {
  while (!text.empty()) {
    std::size_t feed = text.find('\n');
    std::string_view line = text.substr(0, feed);
    if (feed != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    if (auto done = f(line); !done) return done;
    text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
  }
  return {};
}

bool is_skipped(std::string_view line) {
  return line.empty() || line.starts_with("graph") || line.starts_with("strict graph") ||
         line.starts_with("}");
}

// A value wrapped in a matching pair of single or double quotes loses them.
// The quotes are ASCII, so two or more bytes starting and ending with one
// means two or more characters.
std::string_view strip_quotes(std::string_view value) {
  if (value.size() < 2) return value;
  char first = value.front();
  if ((first == '"' || first == '\'') && value.back() == first)
    return value.substr(1, value.size() - 2);
  return value;
}

// The text between the first "[" and the first "]" after it, if both exist.
std::optional<std::string_view> attribute_list(std::string_view line) {
  std::size_t open = line.find('[');
  if (open == std::string_view::npos) return std::nullopt;
  std::size_t close = line.find(']', open + 1);
  if (close == std::string_view::npos) return std::nullopt;
  return line.substr(open + 1, close - open - 1);
}

// Pieces split at every ","; each at its first "=" (none: empty value).
// Quotes protect nothing: they are only stripped from finished values.
Attributes parse_attributes(std::string_view line) {
  Attributes attributes;
  auto list = attribute_list(line);
  if (!list) return attributes;
  std::string_view rest = *list;
  for (;;) {
    std::size_t comma = rest.find(',');
    std::string_view piece = rest.substr(0, comma);
    std::size_t equals = piece.find('=');
    std::string_view key = trim_white_space(piece.substr(0, equals));
    std::string_view value =
        equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1);
    if (!key.empty())
      attributes.insert_or_assign(std::string(key),
                                  std::string(strip_quotes(trim_white_space(value))));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return attributes;
}

std::string attribute_or(const Attributes& attributes, std::string_view key,
                         std::string_view fallback) {
  auto found = attributes.find(key);
  return found != attributes.end() ? found->second : std::string(fallback);
}

std::unexpected<std::string> line_error(std::size_t number, const std::string& message) {
  return std::unexpected("line " + std::to_string(number) + ": " + message);
}

// "a -- b [weight=2];": ids on both sides of the first "--"; only the first id
// after it counts, after one trailing ";" is dropped.
std::expected<void, std::string> read_edge(LineGraphBuilder& graph, std::string_view line,
                                           std::size_t dashes, const Attributes& attributes) {
  auto first = parse_node_id(line.substr(0, dashes));
  if (!first) return std::unexpected(first.error());
  std::string_view rest = trim_white_space(line.substr(dashes + 2));
  if (rest.ends_with(';')) rest = trim_white_space(rest.substr(0, rest.size() - 1));
  auto second = parse_node_id(rest);
  if (!second) return std::unexpected(second.error());
  graph.add_edge(*first, *second, attribute_or(attributes, "weight", "1"));
  return {};
}

std::expected<void, std::string> read_node(LineGraphBuilder& graph, std::string_view line,
                                           const Attributes& attributes) {
  auto id = parse_node_id(line);
  if (!id) return std::unexpected(id.error());
  graph.ensure_node(*id, attribute_or(attributes, "label", "."));
  return {};
}

// One trimmed, non-skipped line: an edge if it holds "--" anywhere, else a
// node if it holds "[", else nothing.
std::expected<void, std::string> read_statement(LineGraphBuilder& graph, std::string_view line) {
  Attributes attributes = parse_attributes(line);
  if (std::size_t dashes = line.find("--"); dashes != std::string_view::npos)
    return read_edge(graph, line, dashes, attributes);
  if (line.find('[') != std::string_view::npos) return read_node(graph, line, attributes);
  return {};
}

}  // namespace

std::expected<GraphWrap, std::string> parse_dot_content(std::string_view text) {
  LineGraphBuilder graph;
  // Every edge statement holds "--", so their count bounds the edges.
  graph.reserve_edges(count_edge_operators(text, "--"));
  std::size_t number = 0;
  auto read = for_each_line(text, [&](std::string_view raw) -> std::expected<void, std::string> {
    ++number;
    std::string_view line = trim_white_space(raw);
    if (is_skipped(line)) return {};
    if (auto done = read_statement(graph, line); !done) return line_error(number, done.error());
    return {};
  });
  if (!read) return std::unexpected(std::move(read.error()));
  return std::move(graph).finish();
}

std::expected<GraphWrap, std::string> parse_dot_file(std::string_view path, StopControl* stop) {
  auto text = read_file_text(path, stop);
  if (!text) return std::unexpected(std::move(text.error()));
  return parse_dot_content(*text);
}

std::expected<std::string, std::string> parse_node_id(std::string_view text) {
  std::string_view trimmed = trim_white_space(text);
  if (trimmed.empty()) return std::unexpected(std::string("empty node id"));
  // Byte steps are safe: neither "[" nor the lead byte of a white space
  // character ever occurs inside another UTF-8 character.
  std::size_t end = 0;
  while (end < trimmed.size() && trimmed[end] != '[' && white_space_length_at(trimmed, end) == 0)
    ++end;
  if (end == 0) return std::unexpected("invalid node id in '" + std::string(text) + "'");
  return std::string(trimmed.substr(0, end));
}

}  // namespace tolva
