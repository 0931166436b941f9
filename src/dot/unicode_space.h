// Unicode white space (the White_Space property) in UTF-8 text: trimming and
// finding where a run of non-space text ends.
//
// The white space characters are U+0009..U+000D, U+0020, U+0085, U+00A0,
// U+1680, U+2000..U+200A, U+2028, U+2029, U+202F, U+205F and U+3000. Bytes
// that are not valid UTF-8 are never white space.
//
//   trim_white_space("\xC2\xA0 a b\t");   // "a b"
//   white_space_length_at("a\xE2\x80\xA8", 1);   // 3 (U+2028)
#pragma once

#include <cstddef>
#include <string_view>

namespace tolva {

bool is_white_space(char32_t code_point);

// Byte length of the white space character starting at `pos`, or 0 when the
// character there is not white space (or `pos` is at the end).
std::size_t white_space_length_at(std::string_view text, std::size_t pos);

// `text` without leading and trailing white space.
std::string_view trim_white_space(std::string_view text);

}  // namespace tolva
