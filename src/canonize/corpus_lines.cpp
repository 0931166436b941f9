#include "canonize/corpus_lines.h"

#include <cstring>

#include "canonize/cgraph.h"
#include "canonize/graph_key.h"
#include "canonize/node_order.h"
#include "canonize/output_field.h"
#include "graph/graph_json_line.h"

namespace tolva {
namespace {

// The bytes Python's bytes.strip() removes: a line of them alone is blank.
bool is_blank(std::string_view line) {
  return line.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos;
}

std::string cgraph_line(std::string_view name, std::string_view cgraph) {
  std::string out;
  out.reserve(name.size() + cgraph.size() + 2);
  append_plain_field(out, name, false);
  out += '\t';
  append_plain_field(out, cgraph, false);
  out += '\n';
  return out;
}

std::string order_line(std::string_view name, const std::vector<std::string>& order) {
  std::string out;
  append_plain_field(out, name, false);
  out += '\t';
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i > 0) out += ' ';
    append_plain_field(out, order[i], true);
  }
  out += '\n';
  return out;
}

std::string json_line(std::string_view name, std::string_view cgraph, const std::vector<std::string>* order) {
  std::string out = "{\"name\": ";
  append_json_string(out, name);
  out += ", \"cgraph\": ";
  append_json_string(out, cgraph);
  if (order != nullptr) {
    out += ", \"order\": [";
    for (std::size_t i = 0; i < order->size(); ++i) {
      if (i > 0) out += ", ";
      append_json_string(out, (*order)[i]);
    }
    out += ']';
  }
  out += "}\n";
  return out;
}

// The product of one graph: its text, or the error of the call that makes it.
Result<std::string> product_of(const GraphJsonLine& read, const CorpusLineSettings& s, const CallControls& controls) {
  switch (s.product) {
    case LineProduct::CgraphLine: {
      auto text = to_cgraph(read.graph, s.candidate_rule, s.branch_rule, s.allow_hashes, s.compress, s.compact,
                            controls);
      if (!text) return std::unexpected(text.error());
      return cgraph_line(read.name, *text);
    }
    case LineProduct::OrderLine: {
      auto order = canonical_node_order(read.graph, s.candidate_rule, s.branch_rule, s.allow_hashes, s.compact,
                                        controls);
      if (!order) return std::unexpected(order.error());
      return order_line(read.name, *order);
    }
    case LineProduct::JsonLine:
    case LineProduct::JsonOrderLine: {
      // The string's error comes first, as when both columns are computed.
      auto text = to_cgraph(read.graph, s.candidate_rule, s.branch_rule, s.allow_hashes, s.compress, s.compact,
                            controls);
      if (!text) return std::unexpected(text.error());
      if (s.product == LineProduct::JsonLine) return json_line(read.name, *text, nullptr);
      auto order = canonical_node_order(read.graph, s.candidate_rule, s.branch_rule, s.allow_hashes, s.compact,
                                        controls);
      if (!order) return std::unexpected(order.error());
      return json_line(read.name, *text, &*order);
    }
    case LineProduct::Key:
      break;
  }
  KeyOptions options;
  options.compact = s.compact;
  options.allow_hashes = s.allow_hashes;
  return graph_key(read.graph, options, controls);
}

}  // namespace

std::vector<CorpusLine> graph_lines_of_chunk(std::string_view chunk) {
  std::vector<CorpusLine> lines;
  std::size_t index = 0;
  while (!chunk.empty()) {
    std::size_t end = chunk.find('\n');
    std::string_view line = chunk.substr(0, end);
    if (!is_blank(line)) lines.push_back(CorpusLine{index, line});
    ++index;
    chunk.remove_prefix(end == std::string_view::npos ? chunk.size() : end + 1);
  }
  return lines;
}

std::size_t line_end_count(std::string_view text) {
  // memchr scans many bytes a step, which a plain count loop does not.
  std::size_t count = 0;
  const char* at = text.data();
  const char* end = at + text.size();
  while (const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at))) {
    ++count;
    at = static_cast<const char*>(found) + 1;
  }
  return count;
}

CorpusLineOutput output_of_corpus_line(std::string_view line, const CorpusLineSettings& settings,
                                       const CallControls& controls) {
  auto read = read_plain_graph_line(line);
  if (!read) return {};
  auto product = product_of(*read, settings, controls);
  if (!product) return {CorpusLineOutput::Kind::Failed, std::move(read->name), {}, product.error()};
  return {CorpusLineOutput::Kind::Written, std::move(read->name), std::move(*product), std::nullopt};
}

}  // namespace tolva
