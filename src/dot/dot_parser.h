// The complete DOT reader: one graph in the DOT language, as Graphviz reads
// it, built into a GraphWrap.
//
//   graph     : [strict] (graph | digraph) [id] '{' stmt_list '}'
//   stmt_list : { stmt [';'] }
//   stmt      : id '=' id | (graph | node | edge) attr_list
//             | operand { edge_op operand } [attr_list]
//   operand   : node_id { ',' node_id } | subgraph
//   node_id   : id [':' id [':' id]]            (ports are read and dropped)
//   subgraph  : [subgraph [id]] '{' stmt_list '}'
//   attr_list : '[' { id '=' id [';' | ','] } ']' [attr_list]
//
// Tokens and ids are those of dot_lexer.h, the meaning of the statements
// that of dot_graph_builder.h. Subgraphs may nest to any depth: the parser
// keeps its own stack. Exactly one graph is read; text after its closing
// brace other than white space and comments is an error.
//
//   DotReadOptions options;                       // label "label", modality weight, then label
//   auto graph = read_dot_graph("graph { a -- b -- c [weight=2] }", options);
//   // nodes a b c (label "."), edges e1 a-b and e2 b-c with modality "2"
//
// Failures are TolvaErrors. A syntax error is a Parse error naming where it
// is: "line 3, column 7: expected ']', found id 'x'". A digraph, unless
// options.accept_directed, is an Unsupported error "directed graph at line L,
// column C"; with it, each "->" edge becomes an undirected edge from its tail
// to its head ("--" in a digraph, like "->" in a graph, is a syntax error).
// A `stop` control is polled about once a token; when it says stop, the
// result is an Interrupted error.
#pragma once

#include <string_view>

#include "dot/dot_graph_builder.h"
#include "error/stop_control.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

Result<GraphWrap> read_dot_graph(std::string_view text, const DotReadOptions& options,
                                 StopControl* stop = nullptr);

// Reads the whole file, then read_dot_graph. A file that is not valid UTF-8
// is taken as Latin-1, as Graphviz does. Read failures are Parse errors with
// the messages of file_text.h.
Result<GraphWrap> read_dot_graph_file(std::string_view path, const DotReadOptions& options,
                                      StopControl* stop = nullptr);

}  // namespace tolva
