#include "dot/utf8_decode.h"

#include <cstdint>
#include <cstring>

namespace tolva {
namespace {

struct LeadByte {
  std::size_t length;   // 0 when the byte cannot start a character
  char32_t bits;        // the payload bits the lead byte contributes
  char32_t min_value;   // smaller values would be overlong
};

LeadByte classify_lead(unsigned char byte) {
  if (byte < 0x80) return {1, byte, 0};
  if ((byte & 0xE0) == 0xC0) return {2, char32_t{byte & 0x1Fu}, 0x80};
  if ((byte & 0xF0) == 0xE0) return {3, char32_t{byte & 0x0Fu}, 0x800};
  if ((byte & 0xF8) == 0xF0) return {4, char32_t{byte & 0x07u}, 0x10000};
  return {0, 0, 0};
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Skips whole 8-byte words of ASCII from `pos`: most files are mostly ASCII.
std::size_t skip_ascii_words(std::string_view text, std::size_t pos) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  for (; pos + 8 <= text.size(); pos += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + pos, sizeof word);
    if ((word & kHighBits) != 0) break;
  }
  return pos;
}

}  // namespace

std::optional<DecodedChar> decode_utf8_at(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return std::nullopt;
  LeadByte lead = classify_lead(static_cast<unsigned char>(text[pos]));
  if (lead.length == 0 || text.size() - pos < lead.length) return std::nullopt;
  char32_t value = lead.bits;
  for (std::size_t i = 1; i < lead.length; ++i) {
    auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!is_continuation(byte)) return std::nullopt;
    value = (value << 6) | (byte & 0x3Fu);
  }
  bool surrogate = value >= 0xD800 && value <= 0xDFFF;
  if (value < lead.min_value || surrogate || value > 0x10FFFF) return std::nullopt;
  return DecodedChar{value, lead.length};
}

bool is_valid_utf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    pos = skip_ascii_words(text, pos);
    if (pos >= text.size()) break;
    auto decoded = decode_utf8_at(text, pos);
    if (!decoded) return false;
    pos += decoded->length;
  }
  return true;
}

}  // namespace tolva
