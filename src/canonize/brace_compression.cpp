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
  std::string group;
  std::uint64_t depth = 0;
  bool in_group = false;
  // Braces are single bytes that never occur inside a multi-byte UTF-8
  // character, so working bytewise keeps every character whole.
  for (char c : text) {
    if (!in_group) {
      out += c;
      if (c == '{') {
        in_group = true;
        depth = 0;
        group.clear();
      }
    } else if (c == '{') {
      group += c;
      ++depth;
    } else if (c == '}' && depth > 0) {
      group += c;
      --depth;
    } else if (c == '}') {
      auto [entry, added] = tokens.try_emplace(group);
      if (added) entry->second = "$" + std::to_string(++token_counter);
      out += entry->second;
      out += '}';
      in_group = false;
    } else {
      group += c;
    }
  }
  // A group never closed is written back as it stood, so no text is lost.
  if (in_group) out += group;
  return out;
}

}  // namespace tolva
