#include "canonize/key_escape.h"

#include <algorithm>
#include <array>

namespace tolva {
namespace {

constexpr std::string_view kPlainMarks = "!&'+-./<=>?@[]^|~";

constexpr std::array<bool, 256> plain_table() {
  std::array<bool, 256> table{};
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = true;
  for (int c = 'a'; c <= 'z'; ++c) table[c] = true;
  for (int c = '0'; c <= '9'; ++c) table[c] = true;
  for (char c : kPlainMarks) table[static_cast<unsigned char>(c)] = true;
  for (int c = 0x80; c <= 0xFF; ++c) table[c] = true;
  return table;
}

constexpr std::array<bool, 256> kPlain = plain_table();

}  // namespace

bool is_plain_key_byte(unsigned char byte) { return kPlain[byte]; }

bool needs_key_escape(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return !is_plain_key_byte(static_cast<unsigned char>(c)); });
}

void append_escaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (is_plain_key_byte(byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    }
  }
}

std::string escaped_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  append_escaped(out, text);
  return out;
}

}  // namespace tolva
