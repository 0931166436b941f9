#include "graph/graph_json_line.h"

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "dot/utf8_decode.h"

namespace tolva {
namespace {

// A cursor over the line; every read_* returns false when the text is not
// in the plain form, which ends the whole read.
class PlainJsonCursor {
 public:
  explicit PlainJsonCursor(std::string_view text) : text_(text) {}

  void skip_space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' ||
                                  text_[at_] == '\r'))
      ++at_;
  }
  bool at_end() {
    skip_space();
    return at_ == text_.size();
  }
  // The next non-space character is `c`; it is taken.
  bool take(char c) {
    skip_space();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool peek(char c) {
    skip_space();
    return at_ < text_.size() && text_[at_] == c;
  }

  // A string's value: a view of the line itself when it holds no escape,
  // else of its decoded copy, kept in `decoded` (whose texts never move).
  bool read_string(std::string_view& value, std::deque<std::string>& decoded) {
    if (!take('"')) return false;
    std::size_t begin = at_;
    while (at_ < text_.size() && text_[at_] != '"' && text_[at_] != '\\' &&
           static_cast<unsigned char>(text_[at_]) >= 0x20)
      ++at_;
    if (at_ < text_.size() && text_[at_] == '"') {
      value = text_.substr(begin, at_ - begin);
      ++at_;
      return true;
    }
    std::string& out = decoded.emplace_back(text_.substr(begin, at_ - begin));
    if (!read_escaped_rest(out)) return false;
    value = out;
    return true;
  }

  // [["s", "s"], ...] with N strings in each item.
  template <std::size_t N>
  bool read_string_lists(std::vector<std::array<std::string_view, N>>& out, std::deque<std::string>& decoded) {
    out.clear();
    if (!take('[')) return false;
    if (take(']')) return true;
    do {
      auto& item = out.emplace_back();
      if (!take('[')) return false;
      for (std::size_t i = 0; i < N; ++i)
        if ((i > 0 && !take(',')) || !read_string(item[i], decoded)) return false;
      if (!take(']')) return false;
    } while (take(','));
    return take(']');
  }

 private:
  // The rest of a string from its first escape (or fault) on, decoded onto `out`.
  bool read_escaped_rest(std::string& out) {
    while (at_ < text_.size()) {
      char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;  // JSON forbids raw controls
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return false;
      char escape = text_[at_++];
      switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u':
          if (!read_unicode_escape(out)) return false;
          break;
        default: return false;
      }
    }
    return false;
  }

  std::optional<std::uint32_t> hex4() {
    if (text_.size() - at_ < 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[at_++];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<std::uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<std::uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') value |= static_cast<std::uint32_t>(c - 'A' + 10);
      else return std::nullopt;
    }
    return value;
  }

  // After "\u": one code point, or a surrogate pair written as two escapes.
  // A lone surrogate has no UTF-8 form: not plain.
  bool read_unicode_escape(std::string& out) {
    auto unit = hex4();
    if (!unit) return false;
    std::uint32_t code = *unit;
    if (code >= 0xDC00 && code <= 0xDFFF) return false;
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (text_.substr(at_, 2) != "\\u") return false;
      at_ += 2;
      auto low = hex4();
      if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
    }
    append_utf8(code, out);
    return true;
  }

  static void append_utf8(std::uint32_t code, std::string& out) {
    auto byte = [&](std::uint32_t value) { out += static_cast<char>(value); };
    if (code < 0x80) {
      byte(code);
    } else if (code < 0x800) {
      byte(0xC0 | (code >> 6));
      byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      byte(0xE0 | (code >> 12));
      byte(0x80 | ((code >> 6) & 0x3F));
      byte(0x80 | (code & 0x3F));
    } else {
      byte(0xF0 | (code >> 18));
      byte(0x80 | ((code >> 12) & 0x3F));
      byte(0x80 | ((code >> 6) & 0x3F));
      byte(0x80 | (code & 0x3F));
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<GraphJsonLine> read_plain_graph_line(std::string_view line) {
  if (!is_valid_utf8(line)) return std::nullopt;
  PlainJsonCursor cursor(line);
  std::deque<std::string> decoded;
  std::string_view name, ignored;
  std::vector<std::array<std::string_view, 2>> nodes;
  std::vector<std::array<std::string_view, 3>> edges;
  bool seen_name = false, seen_nodes = false, seen_edges = false;
  if (!cursor.take('{')) return std::nullopt;
  if (!cursor.peek('}')) {
    do {
      std::string_view key;
      if (!cursor.read_string(key, decoded) || !cursor.take(':')) return std::nullopt;
      bool read;
      if (key == "name") {
        read = !seen_name && cursor.read_string(name, decoded);
        seen_name = true;
      } else if (key == "nodes") {
        read = !seen_nodes && cursor.read_string_lists(nodes, decoded);
        seen_nodes = true;
      } else if (key == "edges") {
        read = !seen_edges && cursor.read_string_lists(edges, decoded);
        seen_edges = true;
      } else {
        read = cursor.read_string(ignored, decoded);
      }
      if (!read) return std::nullopt;
    } while (cursor.take(','));
  }
  if (!cursor.take('}') || !cursor.at_end() || !seen_name || !seen_nodes || !seen_edges) return std::nullopt;
  // As graph_from_lists builds it: the nodes first, then the edges.
  GraphJsonLine result{std::string(name), GraphWrap()};
  for (const auto& node : nodes) result.graph.ensure_node(node[0], node[1]);
  for (const auto& edge : edges) result.graph.add_edge_with_modality(edge[0], edge[1], edge[2]);
  return result;
}

}  // namespace tolva
