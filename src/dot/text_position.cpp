#include "dot/text_position.h"

namespace tolva {

TextPosition text_position(std::string_view text, std::size_t offset) {
  if (offset > text.size()) offset = text.size();
  TextPosition position{1, 1};
  std::size_t at = text.starts_with("\xEF\xBB\xBF") && offset >= 3 ? 3 : 0;
  for (; at < offset; ++at) {
    char c = text[at];
    if (c == '\n' || (c == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'))) {
      ++position.line;
      position.column = 1;
    } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++position.column;
    }
  }
  return position;
}

std::string describe_position(std::string_view text, std::size_t offset) {
  TextPosition position = text_position(text, offset);
  return "line " + std::to_string(position.line) + ", column " + std::to_string(position.column);
}

}  // namespace tolva
