#include "dag/md5_digest.h"

#include <array>
#include <cstring>
#include <type_traits>

namespace tolva {

static_assert(std::is_same_v<Digest, Md5Digest>, "a magnet digest is an MD5 digest");

std::optional<Digest> Md5Hasher::digest(std::string_view text) {
  if (text.size() <= kLongestRemembered) {
    key_.assign(text);
    return digest_of_key();
  }
  md5_.update(text);
  return md5_.finish();
}

std::optional<Digest> Md5Hasher::digest(std::string_view prefix, const TreeText& text,
                                        std::string_view suffix) {
  if (prefix.size() + text.size() + suffix.size() <= kLongestRemembered) {
    key_.assign(prefix);
    text.append_to(key_);
    key_.append(suffix);
    return digest_of_key();
  }
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

Digest Md5Hasher::digest_of_key() {
  if (auto seen = remembered_.find(key_); seen != remembered_.end()) return seen->second;
  md5_.update(key_);
  Digest digest = md5_.finish();
  if (remembered_.size() < kMostRemembered) remembered_.emplace(key_, digest);
  return digest;
}

std::optional<Digest> md5_digest(std::string_view text) { return Md5Hasher().digest(text); }

std::optional<Digest> md5_digest(std::string_view prefix, const TreeText& text,
                                 std::string_view suffix) {
  return Md5Hasher().digest(prefix, text, suffix);
}

std::string hex_digest(const Digest& digest) {
  char text[2 * std::tuple_size_v<Digest>];
  write_hex_digest(digest, text);
  return std::string(text, sizeof text);
}

namespace {

// The two hex digits of every byte value, so that each byte is one lookup.
constexpr std::array<std::array<char, 2>, 256> kHexPairs = [] {
  constexpr char kHex[] = "0123456789abcdef";
  std::array<std::array<char, 2>, 256> pairs{};
  for (std::size_t byte = 0; byte < 256; ++byte) pairs[byte] = {kHex[byte >> 4], kHex[byte & 0x0f]};
  return pairs;
}();

}  // namespace

void write_hex_digest(const Digest& digest, char* out) {
  for (std::size_t i = 0; i < digest.size(); ++i) std::memcpy(out + 2 * i, kHexPairs[digest[i]].data(), 2);
}

}  // namespace tolva
