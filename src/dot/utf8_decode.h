// Strict UTF-8 decoding: one character at a time, and a whole-text check.
//
// Only the shortest encoding of a scalar value is accepted: overlong forms,
// surrogates (U+D800..U+DFFF), values above U+10FFFF, stray continuation
// bytes and truncated sequences are all invalid.
//
//   auto c = decode_utf8_at("\xC2\xA0x", 0);   // {U+00A0, 2}
//   is_valid_utf8("\xED\xA0\x80");              // false: a surrogate
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tolva {

struct DecodedChar {
  char32_t code_point;
  std::size_t length;  // bytes taken from the text, 1 to 4
};

// The character that starts at byte `pos`, or nothing when the bytes there
// are not a valid encoding (or `pos` is at or past the end).
std::optional<DecodedChar> decode_utf8_at(std::string_view text, std::size_t pos);

bool is_valid_utf8(std::string_view text);

}  // namespace tolva
