#include "canonize/plain_field.h"

#include <array>

namespace tolva {
namespace {

constexpr std::array<char, 16> kHexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                             '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

void append_hex_escape(std::string& out, unsigned code) {
  out += "\\x";
  out += kHexDigits[(code >> 4) & 0xF];
  out += kHexDigits[code & 0xF];
}

bool ascii_needs_escape(unsigned char byte, bool space_too) {
  return byte < 0x20 || byte == 0x7F || byte == '\\' || (space_too && byte == ' ');
}

void append_ascii_escape(std::string& out, unsigned char byte) {
  switch (byte) {
    case '\\': out += "\\\\"; break;
    case '\t': out += "\\t"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    default: append_hex_escape(out, byte);
  }
}

bool starts_with_at(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.substr(at, prefix.size()) == prefix;
}

}  // namespace

void append_plain_field(std::string& out, std::string_view text, bool space_too) {
  // Only three multi-byte characters are escaped: U+0085 (C2 85), U+2028 (E2 80 A8) and
  // U+2029 (E2 80 A9); every other byte of a multi-byte character is copied.
  std::size_t copied = 0;
  auto flush = [&](std::size_t upto) { out.append(text.substr(copied, upto - copied)); };
  for (std::size_t at = 0; at < text.size(); ++at) {
    auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      if (!ascii_needs_escape(byte, space_too)) continue;
      flush(at);
      append_ascii_escape(out, byte);
      copied = at + 1;
    } else if (byte == 0xC2 && starts_with_at(text, at, "\xC2\x85")) {
      flush(at);
      append_hex_escape(out, 0x85);
      at += 1;
      copied = at + 1;
    } else if (byte == 0xE2 && (starts_with_at(text, at, "\xE2\x80\xA8") || starts_with_at(text, at, "\xE2\x80\xA9"))) {
      flush(at);
      out += text[at + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      at += 2;
      copied = at + 1;
    }
  }
  flush(text.size());
}

}  // namespace tolva
