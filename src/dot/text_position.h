// Where a byte offset lies in a text, as a person counts: line and column,
// both from 1.
//
// A line ends at LF, CR LF or a lone CR; a column counts characters (UTF-8
// sequences), not bytes, and a byte order mark at the start of the text is
// not counted.
//
//   text_position("ab\r\nc\xC3\xA9x", 7);   // {2, 3}: the x after "cé"
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolva {

struct TextPosition {
  std::size_t line;
  std::size_t column;
};

// `offset` may be the text's size (the end of input).
TextPosition text_position(std::string_view text, std::size_t offset);

// "line L, column C"
std::string describe_position(std::string_view text, std::size_t offset);

}  // namespace tolva
