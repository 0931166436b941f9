// Latin-1 (ISO 8859-1) bytes rewritten as UTF-8: each byte is the code point
// of the same value, so bytes below 0x80 stay and the others become two bytes.
//
//   utf8_from_latin1("caf\xE9");   // "caf\xC3\xA9" (café)
#pragma once

#include <string>
#include <string_view>

namespace tolva {

std::string utf8_from_latin1(std::string_view bytes);

}  // namespace tolva
