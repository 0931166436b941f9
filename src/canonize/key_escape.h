// Escaping of the labels and modalities that a graph key writes.
//
// A key is read back by its punctuation, so no label or modality may carry
// any: every byte outside the plain set is written as "%" and two upper-case
// hexadecimal digits (a "%" too). The plain set keeps ordinary labels
// readable: ASCII letters and digits, the marks ! & ' + - . / < = > ? @ [ ] ^ | ~,
// and every byte of a multi-byte UTF-8 character. Space, control bytes and
// " # $ % ( ) * , : ; \ _ ` { } are escaped.
//
//   escaped_text("N+")     == "N+"
//   escaped_text("A:1, B") == "A%3A1%2C%20B"
//   escaped_text("{a}")    == "%7Ba%7D"
#pragma once

#include <string>
#include <string_view>

namespace tolva {

// True when the byte is written as it is.
bool is_plain_key_byte(unsigned char byte);

// True when escaped_text(text) would differ from text.
bool needs_key_escape(std::string_view text);

// Appends the escaped form of `text` to `out`.
void append_escaped(std::string& out, std::string_view text);

std::string escaped_text(std::string_view text);

}  // namespace tolva
