// MD5 digests of magnet texts, on top of tolva's own MD5 (dag/md5.h).
//
// The digest needs no outside library and cannot fail; the optional results
// are kept so that callers written when it could fail need no change.
// Md5Hasher is what the DAG rewrites of one call hand to everything that
// digests; the free functions do the same without one. It remembers the
// digests of the short texts it has seen: within one canonisation most
// magnets repeat (four in five on molecules), and looking a text up costs
// less than digesting it again. A remembered digest is the digest of an
// equal text, so the results are the same either way.
//
//   Md5Hasher md5;
//   auto digest = md5.digest("_()R_");
//   hex_digest(*digest);   // 32 lowercase hexadecimal digits
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

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
  // Texts longer than this are rarely seen twice and are digested directly.
  static constexpr std::size_t kLongestRemembered = 512;
  // A bound on the memory the memo takes on very large graphs.
  static constexpr std::size_t kMostRemembered = std::size_t{1} << 16;

  Digest digest_of_key();

  Md5 md5_;
  std::unordered_map<std::string, Digest> remembered_;
  std::string key_;
};

std::optional<Digest> md5_digest(std::string_view text);
std::optional<Digest> md5_digest(std::string_view prefix, const TreeText& text,
                                 std::string_view suffix);

// Two lowercase hexadecimal digits per byte, in byte order.
std::string hex_digest(const Digest& digest);
// The same 32 digits written to `out`.
void write_hex_digest(const Digest& digest, char* out);

}  // namespace tolva
