// DotLexer: splits text in the DOT language into tokens, one at a time.
//
// Ids come in four forms and all give a kId token whose `text` is the id's
// value: a plain name ([A-Za-z_] or any byte >= 0x80, then also digits), a
// numeral (-?(.digits | digits[.[digits]])), a double-quoted string (only \"
// is an escape; a backslash before a line break removes both; "a" + "b"
// joins quoted strings) and an HTML string (<...> with nested angle brackets,
// the value being the text between the outer pair). Plain names equal to
// node, edge, graph, digraph, subgraph or strict in any letter case are
// keywords. Skipped between tokens: white space, // and /* */ comments, lines
// whose first character is # (preprocessor output) and a byte order mark at
// the very start. A numeral ends where its digits do, as in Graphviz: "2a"
// is the two ids 2 and a.
//
//   DotLexer lexer("graph { a -- \"b c\" }");
//   lexer.next();   // kGraph
//   lexer.next();   // kLeftBrace
//   lexer.next();   // kId, text "a"
//
// A token's text is valid until two further tokens have been read, so a
// parser can look one token past an id before it uses the id. Failures
// (an unterminated string or comment, a character that starts no token) are
// a DotSyntaxError with the byte offset where the bad token begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace tolva {

enum class DotTokenKind : std::uint8_t {
  kId,
  kStrict,
  kGraph,
  kDigraph,
  kSubgraph,
  kNode,
  kEdge,
  kLeftBrace,
  kRightBrace,
  kLeftBracket,
  kRightBracket,
  kSemicolon,
  kComma,
  kEquals,
  kColon,
  kUndirectedEdge,  // --
  kDirectedEdge,    // ->
  kEnd,
};

struct DotToken {
  DotTokenKind kind = DotTokenKind::kEnd;
  std::size_t begin = 0;  // byte offsets of the token in the input
  std::size_t end = 0;
  std::string_view text;  // the value of an id; the source text of anything else
};

struct QuotedPiece {
  std::size_t end;  // just past the closing quote
  bool rewritten;   // holds \" or a backslash before a line break
};

struct DotSyntaxError {
  std::size_t offset;  // where the fault is, in bytes from the start
  std::string message;
};

class DotLexer {
 public:
  explicit DotLexer(std::string_view input);

  std::expected<DotToken, DotSyntaxError> next();

 private:
  void skip_space_and_comments(std::size_t& at) const;
  std::optional<QuotedPiece> quoted_piece(std::size_t open) const;
  std::expected<DotToken, DotSyntaxError> quoted(std::size_t begin);
  std::expected<DotToken, DotSyntaxError> html(std::size_t begin);
  DotToken numeral(std::size_t begin) const;
  DotToken name(std::size_t begin) const;
  std::string& scratch();

  std::string_view input_;
  std::size_t at_ = 0;
  // Quoted ids that need rewriting are built here, in turns, which keeps the
  // previous token's text alive while the next one is read.
  std::string scratch_[2];
  unsigned turn_ = 0;
};

// A readable name of a token for messages: "'{'", "'->'", "id 'abc'", "end of input".
std::string describe_token(const DotToken& token);

}  // namespace tolva
