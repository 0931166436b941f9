#include "canonize/brace_compression.h"

#include <charconv>
#include <cstdint>
#include <vector>

#include "graph/id_index.h"

namespace tolva {

std::string compress_braces(std::string text) {
  // No brace, nothing to replace.
  if (text.find('{') == std::string::npos) return text;
  return compress_braces(std::string_view(text));
}

std::string compress_braces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  // The distinct group contents in order of first appearance (views of
  // `text`); the token of the i-th is "$" + (i + 1). A group takes at least
  // its two braces, so their count fits the table's 32-bit numbers for any
  // text under 8 GiB, far beyond what the rewrite's node limit lets through.
  std::vector<std::string_view> groups;
  IdIndex group_numbers;
  auto group_at = [&](NodeIndex i) { return groups[i]; };
  // Braces are single bytes that never occur inside a multi-byte UTF-8
  // character, so working bytewise keeps every character whole; the text
  // between braces is copied in runs.
  for (std::size_t at = 0;;) {
    std::size_t open = text.find('{', at);
    if (open == std::string_view::npos) {
      out.append(text.substr(at));
      return out;
    }
    out.append(text.substr(at, open + 1 - at));
    // The group ends at the '}' that closes its opening brace, inner pairs included.
    std::size_t close = open + 1;
    for (std::uint64_t depth = 0; close < text.size(); ++close) {
      char c = text[close];
      if (c == '{') {
        ++depth;
      } else if (c == '}') {
        if (depth == 0) break;
        --depth;
      }
    }
    if (close == text.size()) {
      // A group never closed is written back as it stood, so no text is lost.
      out.append(text.substr(open + 1));
      return out;
    }
    std::string_view group = text.substr(open + 1, close - open - 1);
    auto fresh = static_cast<NodeIndex>(groups.size());
    groups.push_back(group);
    NodeIndex number = group_numbers.find_or_insert(group, fresh, group_at);
    if (number != fresh) groups.pop_back();
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, std::uint64_t{number} + 1).ptr;
    out += '$';
    out.append(digits, end);
    out += '}';
    at = close + 1;
  }
}

}  // namespace tolva
