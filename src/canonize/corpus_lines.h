// The outputs of a JSON Lines graph corpus, computed from its raw lines.
//
// A command that prints a line for every graph of a corpus spends much of a
// run turning each line into objects and back; on native threads, a line can
// go from bytes to its output in one step. A chunk is whole lines of a
// corpus, each ended by '\n' (the last may lack it); lines are split at '\n'
// only, and a line of ASCII white space alone (space, \t, \n, \v, \f, \r) is
// blank and holds no graph.
//
// output_of_corpus_line reads a line in the plain form (graph_json_line.h)
// and makes what `settings.product` asks for, with the settings' options:
// the line "NAME\tCGRAPH\n" (to_cgraph), the line "NAME\tID ID ...\n"
// (canonical_node_order), both with every field written as a plain field
// (output_field.h, node ids with their spaces escaped); the JSON line
// {"name": NAME, "cgraph": CGRAPH} or {"name": ..., "cgraph": ..., "order":
// [ID, ...]} with JSON strings (output_field.h) and the separators ", " and
// ": "; or the graph's key (graph_key) beside its name. A line not in the plain form is Unread: the
// caller reads it with a full JSON reader, which takes the forms this one does
// not and names the fault of a bad line. A graph whose result fails is
// Failed, with its name and the error.
//
//   for (const CorpusLine& line : graph_lines_of_chunk(chunk)) {
//     CorpusLineOutput out = output_of_corpus_line(line.text, CorpusLineSettings{}, CallControls{});
//     if (out.kind == CorpusLineOutput::Kind::Written) write(out.text);   // "g1\t(C:1)O\n"
//   }
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "canonize/first_pass.h"
#include "dag/call_controls.h"
#include "error/tolva_error.h"

namespace tolva {

struct CorpusLine {
  std::size_t index = 0;  // of the line in its chunk, from 0, blank lines counted
  std::string_view text;  // without its '\n'
};

// The lines of `chunk` that are not blank, in order.
std::vector<CorpusLine> graph_lines_of_chunk(std::string_view chunk);

// How many '\n' `text` holds: the number of the next chunk's first line is
// this chunk's plus that.
std::size_t line_end_count(std::string_view text);

enum class LineProduct : std::uint8_t {
  CgraphLine,     // "NAME\tCGRAPH\n"
  OrderLine,      // "NAME\tID ID ...\n"
  JsonLine,       // {"name": ..., "cgraph": ...}
  JsonOrderLine,  // {"name": ..., "cgraph": ..., "order": [...]}
  Key,            // the key, beside the name
};

// The product and the options it is made with (a key takes `compact` and
// `allow_hashes` only).
struct CorpusLineSettings {
  LineProduct product = LineProduct::CgraphLine;
  std::string candidate_rule{kDefaultCandidateRule};
  std::string branch_rule{kDefaultBranchRule};
  bool allow_hashes = kDefaultAllowHashes;
  bool compress = kDefaultCompress;
  bool compact = kDefaultCompact;
};

struct CorpusLineOutput {
  enum class Kind { Written, Failed, Unread };
  Kind kind = Kind::Unread;
  std::string name;                 // Written, Failed: the graph's name
  std::string text;                 // Written: the output line, or the key
  std::optional<TolvaError> error;  // Failed: why
};

CorpusLineOutput output_of_corpus_line(std::string_view line, const CorpusLineSettings& settings,
                                       const CallControls& controls);

}  // namespace tolva
