#include "dot/dot_lexer.h"

#include <array>
#include <cstdio>
#include <optional>

namespace tolva {
namespace {

enum CharClass : std::uint8_t {
  kOther = 0,
  kSpace = 1,
  kLetter = 2,  // may start a name: ASCII letters, '_', every byte >= 0x80
  kDigit = 4,
};

constexpr std::array<std::uint8_t, 256> make_classes() {
  std::array<std::uint8_t, 256> classes{};
  for (char c : {' ', '\t', '\n', '\r', '\f', '\v'}) classes[static_cast<unsigned char>(c)] = kSpace;
  for (int c = 'a'; c <= 'z'; ++c) classes[c] = kLetter;
  for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kLetter;
  classes['_'] = kLetter;
  for (int c = 0x80; c < 256; ++c) classes[c] = kLetter;
  for (int c = '0'; c <= '9'; ++c) classes[c] = kDigit;
  return classes;
}

constexpr std::array<std::uint8_t, 256> kClasses = make_classes();

std::uint8_t class_of(char c) { return kClasses[static_cast<unsigned char>(c)]; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_line_break(char c) { return c == '\n' || c == '\r'; }

bool equals_ignoring_case(std::string_view text, std::string_view lower_word) {
  if (text.size() != lower_word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower_word[i]) return false;
  }
  return true;
}

DotTokenKind keyword_or_id(std::string_view text) {
  // Every keyword has 4 to 8 letters; most names do not, and skip the compares.
  if (text.size() < 4 || text.size() > 8) return DotTokenKind::kId;
  static constexpr std::pair<std::string_view, DotTokenKind> kKeywords[] = {
      {"node", DotTokenKind::kNode},         {"edge", DotTokenKind::kEdge},
      {"graph", DotTokenKind::kGraph},       {"digraph", DotTokenKind::kDigraph},
      {"subgraph", DotTokenKind::kSubgraph}, {"strict", DotTokenKind::kStrict},
  };
  for (auto [word, kind] : kKeywords)
    if (equals_ignoring_case(text, word)) return kind;
  return DotTokenKind::kId;
}

// The character at `at` for a message: itself when printable ASCII, else U+XXXX
// (a byte >= 0x80 always starts a name, so it never gets here).
std::string shown_character(char c) {
  if (c >= 0x21 && c <= 0x7E) return std::string("'") + c + "'";
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
  return code;
}

}  // namespace

DotLexer::DotLexer(std::string_view input) : input_(input) {
  if (input_.starts_with("\xEF\xBB\xBF")) at_ = 3;
}

std::string& DotLexer::scratch() {
  turn_ ^= 1u;
  scratch_[turn_].clear();
  return scratch_[turn_];
}

void DotLexer::skip_space_and_comments(std::size_t& at) const {
  const std::size_t size = input_.size();
  while (at < size) {
    char c = input_[at];
    if (class_of(c) == kSpace) {
      ++at;
    } else if (c == '/' && at + 1 < size && input_[at + 1] == '/') {
      while (at < size && !is_line_break(input_[at])) ++at;
    } else if (c == '/' && at + 1 < size && input_[at + 1] == '*') {
      std::size_t close = input_.find("*/", at + 2);
      // An unterminated comment is left for next() to report.
      if (close == std::string_view::npos) return;
      at = close + 2;
    } else if (c == '#' && (at == 0 || is_line_break(input_[at - 1]))) {
      while (at < size && !is_line_break(input_[at])) ++at;
    } else {
      return;
    }
  }
}

std::expected<DotToken, DotSyntaxError> DotLexer::next() {
  skip_space_and_comments(at_);
  const std::size_t begin = at_;
  auto punctuation = [&](DotTokenKind kind, std::size_t length) {
    at_ = begin + length;
    return DotToken{kind, begin, at_, input_.substr(begin, length)};
  };
  if (begin >= input_.size()) return DotToken{DotTokenKind::kEnd, begin, begin, {}};
  char c = input_[begin];
  char following = begin + 1 < input_.size() ? input_[begin + 1] : '\0';
  switch (c) {
    case '{': return punctuation(DotTokenKind::kLeftBrace, 1);
    case '}': return punctuation(DotTokenKind::kRightBrace, 1);
    case '[': return punctuation(DotTokenKind::kLeftBracket, 1);
    case ']': return punctuation(DotTokenKind::kRightBracket, 1);
    case ';': return punctuation(DotTokenKind::kSemicolon, 1);
    case ',': return punctuation(DotTokenKind::kComma, 1);
    case '=': return punctuation(DotTokenKind::kEquals, 1);
    case ':': return punctuation(DotTokenKind::kColon, 1);
    case '"': return quoted(begin);
    case '<': return html(begin);
    case '-':
      if (following == '-') return punctuation(DotTokenKind::kUndirectedEdge, 2);
      if (following == '>') return punctuation(DotTokenKind::kDirectedEdge, 2);
      break;
    case '/':
      if (following == '*') return std::unexpected(DotSyntaxError{begin, "unterminated comment"});
      break;
    default: break;
  }
  if (class_of(c) == kLetter) {
    DotToken token = name(begin);
    at_ = token.end;
    return token;
  }
  char third = begin + 2 < input_.size() ? input_[begin + 2] : '\0';
  bool starts_numeral = is_digit(c) || (c == '.' && is_digit(following)) ||
                        (c == '-' && (is_digit(following) || (following == '.' && is_digit(third))));
  if (starts_numeral) {
    DotToken token = numeral(begin);
    at_ = token.end;
    return token;
  }
  return std::unexpected(DotSyntaxError{begin, "unexpected character " + shown_character(c)});
}

DotToken DotLexer::name(std::size_t begin) const {
  std::size_t end = begin + 1;
  while (end < input_.size() && (class_of(input_[end]) & (kLetter | kDigit))) ++end;
  std::string_view text = input_.substr(begin, end - begin);
  return DotToken{keyword_or_id(text), begin, end, text};
}

DotToken DotLexer::numeral(std::size_t begin) const {
  std::size_t end = begin;
  if (input_[end] == '-') ++end;
  while (end < input_.size() && is_digit(input_[end])) ++end;
  if (end < input_.size() && input_[end] == '.') {
    ++end;
    while (end < input_.size() && is_digit(input_[end])) ++end;
  }
  return DotToken{DotTokenKind::kId, begin, end, input_.substr(begin, end - begin)};
}

// The end (past the closing quote) of the quoted piece whose opening quote is
// at `open`, and whether its value differs from its text; nothing when it is
// unterminated. A backslash always takes the next character with it.
std::optional<QuotedPiece> DotLexer::quoted_piece(std::size_t open) const {
  QuotedPiece piece{0, false};
  for (std::size_t at = open + 1;;) {
    at = input_.find_first_of("\"\\", at);
    if (at == std::string_view::npos) return std::nullopt;
    if (input_[at] == '"') {
      piece.end = at + 1;
      return piece;
    }
    char escaped = at + 1 < input_.size() ? input_[at + 1] : '\0';
    piece.rewritten = piece.rewritten || escaped == '"' || is_line_break(escaped);
    at += 2;
  }
}

namespace {

// Appends the value of a quoted piece's inner text: \" is a quote, a backslash
// before a line break (LF, CR LF or CR) vanishes with the break, every other
// backslash stays as written.
void append_unescaped(std::string_view raw, std::string& out) {
  for (std::size_t at = 0; at < raw.size();) {
    std::size_t slash = raw.find('\\', at);
    out.append(raw.substr(at, slash == std::string_view::npos ? raw.npos : slash - at));
    if (slash == std::string_view::npos) return;
    char escaped = slash + 1 < raw.size() ? raw[slash + 1] : '\0';
    if (escaped == '"') {
      out += '"';
      at = slash + 2;
    } else if (escaped == '\r') {
      at = slash + 2 + (slash + 2 < raw.size() && raw[slash + 2] == '\n');
    } else if (escaped == '\n') {
      at = slash + 2;
    } else {
      out.append(raw.substr(slash, 2));
      at = slash + 2;
    }
  }
}

}  // namespace

std::expected<DotToken, DotSyntaxError> DotLexer::quoted(std::size_t begin) {
  std::string* value = nullptr;  // in use once the value is not one untouched piece
  std::string_view plain;
  for (std::size_t open = begin;;) {
    auto piece = quoted_piece(open);
    if (!piece) return std::unexpected(DotSyntaxError{open, "unterminated quoted string"});
    std::string_view raw = input_.substr(open + 1, piece->end - open - 2);
    if (value == nullptr && open == begin && !piece->rewritten) {
      plain = raw;
    } else {
      if (value == nullptr) value = &scratch();
      append_unescaped(raw, *value);
    }
    at_ = piece->end;
    // "a" + "b": a further quoted piece joined on.
    std::size_t look = at_;
    skip_space_and_comments(look);
    if (look >= input_.size() || input_[look] != '+') break;
    std::size_t plus = look++;
    skip_space_and_comments(look);
    if (look >= input_.size() || input_[look] != '"')
      return std::unexpected(DotSyntaxError{plus, "'+' must join two quoted strings"});
    if (value == nullptr) {
      value = &scratch();
      value->assign(plain);
    }
    open = look;
  }
  return DotToken{DotTokenKind::kId, begin, at_, value ? std::string_view(*value) : plain};
}

std::expected<DotToken, DotSyntaxError> DotLexer::html(std::size_t begin) {
  std::size_t depth = 0;
  for (std::size_t at = begin; at < input_.size(); ++at) {
    if (input_[at] == '<') {
      ++depth;
    } else if (input_[at] == '>' && --depth == 0) {
      at_ = at + 1;
      return DotToken{DotTokenKind::kId, begin, at_, input_.substr(begin + 1, at - begin - 1)};
    }
  }
  return std::unexpected(DotSyntaxError{begin, "unterminated HTML string (unbalanced '<' and '>')"});
}

std::string describe_token(const DotToken& token) {
  switch (token.kind) {
    case DotTokenKind::kEnd: return "end of input";
    case DotTokenKind::kId: {
      constexpr std::size_t kShown = 40;
      std::string_view text = token.text.substr(0, kShown);
      // Never cut a UTF-8 character in half.
      while (text.size() < token.text.size() && !text.empty() &&
             (static_cast<unsigned char>(token.text[text.size()]) & 0xC0) == 0x80)
        text.remove_suffix(1);
      return "id '" + std::string(text) + (text.size() < token.text.size() ? "...'" : "'");
    }
    default: return "'" + std::string(token.text) + "'";
  }
}

}  // namespace tolva
