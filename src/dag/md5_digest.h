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

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

  // The remembered digests: an open-addressing table of (hash, key position,
  // digest) over one buffer that holds every remembered text back to back, so
  // remembering a text costs no allocation of its own.
  class Memo {
   public:
    const Digest* find(std::string_view text, std::uint64_t hash) const;
    // `text` must not be remembered yet.
    void insert(std::string_view text, std::uint64_t hash, const Digest& digest);
    std::size_t size() const { return count_; }

   private:
    struct Slot {
      std::uint64_t hash = 0;
      std::uint32_t offset = 0;
      std::uint32_t size = kEmpty;  // kEmpty: a free slot
      Digest digest{};
    };
    static constexpr std::uint32_t kEmpty = ~std::uint32_t{0};

    std::size_t home(std::uint64_t hash) const { return hash & (slots_.size() - 1); }
    void grow();

    std::vector<Slot> slots_;
    std::string texts_;
    std::size_t count_ = 0;
  };

  Digest digest_of_key();

  Md5 md5_;
  Memo remembered_;
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
