// MD5 digests of magnet texts, on top of tolva's own MD5 (dag/md5.h).
//
// The digest needs no outside library and cannot fail; the optional results
// are kept so that callers written when it could fail need no change.
// Md5Hasher is what one DAG rewrite hands to everything that digests; the
// free functions do the same without one.
//
//   Md5Hasher md5;
//   auto digest = md5.digest("_()R_");
//   hex_digest(*digest);   // 32 lowercase hexadecimal digits
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dag/md5.h"
#include "graph/node_data.h"
#include "tree/tree_text.h"

namespace tolva {

class Md5Hasher {
 public:
  // Always holds the digest.
  std::optional<Digest> digest(std::string_view text);
  // The digest of prefix + text + suffix, streamed without writing `text` out.
  std::optional<Digest> digest(std::string_view prefix, const TreeText& text, std::string_view suffix);

 private:
  Md5 md5_;
};

std::optional<Digest> md5_digest(std::string_view text);
std::optional<Digest> md5_digest(std::string_view prefix, const TreeText& text,
                                 std::string_view suffix);

// Two lowercase hexadecimal digits per byte, in byte order.
std::string hex_digest(const Digest& digest);

}  // namespace tolva
