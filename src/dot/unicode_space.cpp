#include "dot/unicode_space.h"

#include "dot/utf8_decode.h"

namespace tolva {
namespace {

// The longest UTF-8 encoding of a white space character (U+1680 and up).
constexpr std::size_t kLongestSpace = 3;

// Byte length of a white space character that ends exactly at `end`, or 0.
// In valid UTF-8 a character of k bytes ends at `end` only if a lead byte sits
// at end - k, so trying each length finds it without scanning from the start.
std::size_t white_space_length_before(std::string_view text, std::size_t end) {
  for (std::size_t length = 1; length <= kLongestSpace && length <= end; ++length) {
    if (white_space_length_at(text.substr(0, end), end - length) == length) return length;
  }
  return 0;
}

}  // namespace

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

std::size_t white_space_length_at(std::string_view text, std::size_t pos) {
  auto decoded = decode_utf8_at(text, pos);
  return decoded && is_white_space(decoded->code_point) ? decoded->length : 0;
}

std::string_view trim_white_space(std::string_view text) {
  std::size_t begin = 0;
  while (std::size_t length = white_space_length_at(text, begin)) begin += length;
  text.remove_prefix(begin);
  while (std::size_t length = white_space_length_before(text, text.size()))
    text.remove_suffix(length);
  return text;
}

}  // namespace tolva
