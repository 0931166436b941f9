// MD5 digests (OpenSSL's EVP interface) of magnet texts.
//
// Md5Hasher looks the algorithm up once and reuses one digest context, which
// costs far less per digest than a fresh lookup; a DAG rewrite makes one and
// hands it to everything that digests. The free functions make their own.
//
//   Md5Hasher md5;
//   auto digest = md5.digest("_()R_");
//   hex_digest(*digest);   // 32 lowercase hexadecimal digits
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "graph/node_data.h"
#include "tree/tree_text.h"

namespace tolva {

class Md5Hasher {
 public:
  Md5Hasher();
  ~Md5Hasher();
  Md5Hasher(const Md5Hasher&) = delete;
  Md5Hasher& operator=(const Md5Hasher&) = delete;

  // Nothing only when the crypto library itself fails (e.g. out of memory).
  std::optional<Digest> digest(std::string_view text);
  // The digest of prefix + text + suffix, streamed without writing `text` out.
  std::optional<Digest> digest(std::string_view prefix, const TreeText& text, std::string_view suffix);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

std::optional<Digest> md5_digest(std::string_view text);
std::optional<Digest> md5_digest(std::string_view prefix, const TreeText& text,
                                 std::string_view suffix);

// Two lowercase hexadecimal digits per byte, in byte order.
std::string hex_digest(const Digest& digest);

}  // namespace tolva
