#include "canonize/output_field.h"

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

void append_unicode_escape(std::string& out, unsigned code) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(code >> shift) & 0xF];
}

void append_json_ascii_escape(std::string& out, unsigned char byte) {
  switch (byte) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    case '\b': out += "\\b"; break;
    case '\f': out += "\\f"; break;
    default: append_unicode_escape(out, byte);
  }
}

// Where a character that ends lines for some readers starts: U+0085 (C2 85), U+2028
// (E2 80 A8) or U+2029 (E2 80 A9); its code, or 0 when none starts at `at`.
unsigned line_break_at(std::string_view text, std::size_t at) {
  if (text[at] != '\xC2' && text[at] != '\xE2') return 0;
  if (starts_with_at(text, at, "\xC2\x85")) return 0x85;
  if (starts_with_at(text, at, "\xE2\x80\xA8")) return 0x2028;
  if (starts_with_at(text, at, "\xE2\x80\xA9")) return 0x2029;
  return 0;
}

std::size_t utf8_size(unsigned code) { return code < 0x800 ? 2 : 3; }

}  // namespace

void append_plain_field(std::string& out, std::string_view text, bool space_too) {
  std::size_t copied = 0;
  auto flush = [&](std::size_t upto) { out.append(text.substr(copied, upto - copied)); };
  for (std::size_t at = 0; at < text.size(); ++at) {
    auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80) {
      if (!ascii_needs_escape(byte, space_too)) continue;
      flush(at);
      append_ascii_escape(out, byte);
      copied = at + 1;
    } else if (unsigned code = line_break_at(text, at); code != 0) {
      flush(at);
      if (code == 0x85) {
        append_hex_escape(out, code);
      } else {
        append_unicode_escape(out, code);
      }
      at += utf8_size(code) - 1;
      copied = at + 1;
    }
  }
  flush(text.size());
}

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  std::size_t copied = 0;
  auto flush = [&](std::size_t upto) { out.append(text.substr(copied, upto - copied)); };
  for (std::size_t at = 0; at < text.size(); ++at) {
    auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == '"' || byte == '\\') {
      flush(at);
      append_json_ascii_escape(out, byte);
      copied = at + 1;
    } else if (unsigned code = byte >= 0x80 ? line_break_at(text, at) : 0; code != 0) {
      flush(at);
      append_unicode_escape(out, code);
      at += utf8_size(code) - 1;
      copied = at + 1;
    }
  }
  flush(text.size());
  out += '"';
}

}  // namespace tolva
