#include "canonize/brace_compression.h"

#include <cstdint>

#include "graph/id_set.h"

namespace tolva {

std::string compress_braces(std::string text) {
  // No brace, nothing to replace.
  if (text.find('{') == std::string::npos) return text;
  return compress_braces(std::string_view(text));
}

std::string compress_braces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  IdMap<std::string> tokens;
  std::uint64_t token_counter = 0;
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
    for (std::uint64_t depth = 0;; ++close) {
      close = text.find_first_of("{}", close);
      if (close == std::string_view::npos || (text[close] == '}' && depth == 0)) break;
      if (text[close] == '{')
        ++depth;
      else
        --depth;
    }
    if (close == std::string_view::npos) {
      // A group never closed is written back as it stood, so no text is lost.
      out.append(text.substr(open + 1));
      return out;
    }
    std::string_view group = text.substr(open + 1, close - open - 1);
    auto token = tokens.find(group);
    if (token == tokens.end()) token = tokens.emplace(group, "$" + std::to_string(++token_counter)).first;
    out += token->second;
    out += '}';
    at = close + 1;
  }
}

}  // namespace tolva
