// Brace compression: the text inside each outermost pair of braces replaced
// by a short token, "$1" for the first distinct content, "$2" for the next,
// and so on; equal contents share a token. In canonical strings the braces
// hold the long magnet texts of mirror and virtual nodes.
//
//   compress_braces("a{xy}b{xy}{z}") == "a{$1}b{$1}{$2}"
//   compress_braces("a{b{c}d}e")     == "a{$1}e"
//   compress_braces("x{y")           == "x{y"
#pragma once

#include <string>
#include <string_view>

namespace tolva {

std::string compress_braces(std::string_view text);
// The same for a text the caller is done with (returned as it is when it
// holds no brace).
std::string compress_braces(std::string text);

}  // namespace tolva
