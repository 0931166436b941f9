// MD5 digests (OpenSSL's EVP interface) of magnet texts.
//
//   auto digest = md5_digest("_()R_");
//   hex_digest(*digest);   // 32 lowercase hexadecimal digits
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "graph/node_data.h"
#include "tree/tree_text.h"

namespace tolva {

// Nothing only when the crypto library itself fails (e.g. out of memory).
std::optional<Digest> md5_digest(std::string_view text);

// The digest of prefix + text + suffix, streamed without writing `text` out.
std::optional<Digest> md5_digest(std::string_view prefix, const TreeText& text,
                                 std::string_view suffix);

// Two lowercase hexadecimal digits per byte, in byte order.
std::string hex_digest(const Digest& digest);

}  // namespace tolva
