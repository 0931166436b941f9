#include "dag/md5_digest.h"

#include <type_traits>

namespace tolva {

static_assert(std::is_same_v<Digest, Md5Digest>, "a magnet digest is an MD5 digest");

std::optional<Digest> Md5Hasher::digest(std::string_view text) {
  md5_.update(text);
  return md5_.finish();
}

std::optional<Digest> Md5Hasher::digest(std::string_view prefix, const TreeText& text,
                                        std::string_view suffix) {
  md5_.update(prefix);
  if (text.is_flat()) {
    md5_.update(text.flat_text());
  } else {
    TreeText::ChunkCursor cursor(text);
    for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next()) md5_.update(chunk);
  }
  md5_.update(suffix);
  return md5_.finish();
}

std::optional<Digest> md5_digest(std::string_view text) { return Md5Hasher().digest(text); }

std::optional<Digest> md5_digest(std::string_view prefix, const TreeText& text,
                                 std::string_view suffix) {
  return Md5Hasher().digest(prefix, text, suffix);
}

std::string hex_digest(const Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  char text[2 * std::tuple_size_v<Digest>];
  for (std::size_t i = 0; i < digest.size(); ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0x0f];
  }
  return std::string(text, sizeof text);
}

}  // namespace tolva
