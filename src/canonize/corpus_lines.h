// The output lines of a JSON Lines graph corpus, computed from its raw lines.
//
// A command that prints NAME<TAB>CANONICAL_STRING for every graph of a corpus
// spends much of a run turning each line into objects and back; on native
// threads, a line can go from bytes to its output line in one step. A chunk
// is whole lines of a corpus, each ended by '\n' (the last may lack it);
// lines are split at '\n' only, and a line of ASCII white space alone (space,
// \t, \n, \v, \f, \r) is blank and holds no graph.
//
// cgraph_output_line reads a line in the plain form (graph_json_line.h) and
// writes "NAME\tCGRAPH\n", both as plain fields (plain_field.h), where CGRAPH
// is what to_cgraph gives with `settings`. A line not in the plain form is
// Unread: the caller reads it with a full JSON reader, which takes the forms
// this one does not and names the fault of a bad line. A graph whose string
// fails is Failed, with its name and the error.
//
//   for (const CorpusLine& line : graph_lines_of_chunk(chunk)) {
//     CorpusLineOutput out = cgraph_output_line(line.text, CgraphSettings{}, CallControls{});
//     if (out.kind == CorpusLineOutput::Kind::Written) write(out.text);   // "g1\t(C:1)O\n"
//   }
#pragma once

#include <cstddef>
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

// The options of to_cgraph.
struct CgraphSettings {
  std::string candidate_rule{kDefaultCandidateRule};
  std::string branch_rule{kDefaultBranchRule};
  bool allow_hashes = kDefaultAllowHashes;
  bool compress = kDefaultCompress;
  bool compact = kDefaultCompact;
};

struct CorpusLineOutput {
  enum class Kind { Written, Failed, Unread };
  Kind kind = Kind::Unread;
  std::string text;                 // Written: the output line; Failed: the graph's name
  std::optional<TolvaError> error;  // Failed: why
};

CorpusLineOutput cgraph_output_line(std::string_view line, const CgraphSettings& settings,
                                    const CallControls& controls);

}  // namespace tolva
