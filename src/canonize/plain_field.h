// A text written as one field of a tab-separated output line.
//
// The plain output of the command line puts a name and a canonical string
// (or node ids, separated by spaces) on one line, so the characters that
// separate fields and lines are escaped: a backslash as \\, tab, line feed
// and carriage return as \t, \n, \r, the other C0 controls, DEL and U+0085
// as \xNN, U+2028 and U+2029 as \u2028 and \u2029; with `space_too` (a node
// id in a space-separated list) a space as \x20. Nothing else changes, so a
// text without these characters is written as it is, and the escaping can be
// reversed. The text is UTF-8; bytes that are not are copied unchanged.
//
//   std::string out;
//   append_plain_field(out, "a\tb\\", false);   // out == R"(a\tb\\)"
#pragma once

#include <string>
#include <string_view>

namespace tolva {

void append_plain_field(std::string& out, std::string_view text, bool space_too);

}  // namespace tolva
