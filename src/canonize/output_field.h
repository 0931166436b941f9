// A text written as one field of an output line of the command line: plain
// (tab-separated) or JSON.
//
// The plain output puts a name and a canonical string
// (or node ids, separated by spaces) on one line, so the characters that
// separate fields and lines are escaped: a backslash as \\, tab, line feed
// and carriage return as \t, \n, \r, the other C0 controls, DEL and U+0085
// as \xNN, U+2028 and U+2029 as \u2028 and \u2029; with `space_too` (a node
// id in a space-separated list) a space as \x20. Nothing else changes, so a
// text without these characters is written as it is, and the escaping can be
// reversed. The text is UTF-8; bytes that are not are copied unchanged.
//
// A JSON string gets the escapes of Python's json.dumps(..., ensure_ascii=
// False): a double quote and a backslash as \" and \\, line feed, carriage
// return, tab, backspace and form feed as \n, \r, \t, \b, \f, the other C0
// controls as \u00XX (lower-case hex); and U+0085, U+2028 and U+2029 as
// \u0085, \u2028 and \u2029, which JSON allows raw but line readers would
// take for line ends. Every other byte is copied.
//
//   std::string out;
//   append_plain_field(out, "a\tb\\", false);   // out == R"(a\tb\\)"
//   append_json_string(out, "x\"");              // appends R"("x\"")"
#pragma once

#include <string>
#include <string_view>

namespace tolva {

void append_plain_field(std::string& out, std::string_view text, bool space_too);

// Appends `text` as a JSON string, with its quotes.
void append_json_string(std::string& out, std::string_view text);

}  // namespace tolva
