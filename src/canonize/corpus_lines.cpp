#include "canonize/corpus_lines.h"

#include "canonize/cgraph.h"
#include "canonize/plain_field.h"
#include "graph/graph_json_line.h"

namespace tolva {
namespace {

// The bytes Python's bytes.strip() removes: a line of them alone is blank.
bool is_blank(std::string_view line) {
  return line.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos;
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

CorpusLineOutput cgraph_output_line(std::string_view line, const CgraphSettings& settings,
                                    const CallControls& controls) {
  auto read = read_plain_graph_line(line);
  if (!read) return {};
  auto text = to_cgraph(read->graph, settings.candidate_rule, settings.branch_rule, settings.allow_hashes,
                        settings.compress, settings.compact, controls);
  if (!text) return {CorpusLineOutput::Kind::Failed, std::move(read->name), text.error()};
  std::string out;
  out.reserve(read->name.size() + text->size() + 2);
  append_plain_field(out, read->name, false);
  out += '\t';
  append_plain_field(out, *text, false);
  out += '\n';
  return {CorpusLineOutput::Kind::Written, std::move(out), std::nullopt};
}

}  // namespace tolva
