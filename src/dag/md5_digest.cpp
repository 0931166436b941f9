#include "dag/md5_digest.h"

#include <array>
#include <cstring>
#include <type_traits>

#include "graph/text_hash.h"

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
  std::uint64_t hash = text_hash(key_);
  if (const Digest* seen = remembered_.find(key_, hash)) return *seen;
  md5_.update(key_);
  Digest digest = md5_.finish();
  if (remembered_.size() < kMostRemembered) remembered_.insert(key_, hash, digest);
  return digest;
}

const Digest* Md5Hasher::Memo::find(std::string_view text, std::uint64_t hash) const {
  if (slots_.empty()) return nullptr;
  for (std::size_t at = home(hash);; at = (at + 1) & (slots_.size() - 1)) {
    const Slot& slot = slots_[at];
    if (slot.size == kEmpty) return nullptr;
    if (slot.hash == hash && std::string_view(texts_).substr(slot.offset, slot.size) == text) return &slot.digest;
  }
}

void Md5Hasher::Memo::insert(std::string_view text, std::uint64_t hash, const Digest& digest) {
  if ((count_ + 1) * 2 > slots_.size()) grow();
  std::size_t at = home(hash);
  while (slots_[at].size != kEmpty) at = (at + 1) & (slots_.size() - 1);
  slots_[at] = Slot{hash, static_cast<std::uint32_t>(texts_.size()), static_cast<std::uint32_t>(text.size()), digest};
  texts_.append(text);
  ++count_;
}

void Md5Hasher::Memo::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
  for (const Slot& slot : old) {
    if (slot.size == kEmpty) continue;
    std::size_t at = home(slot.hash);
    while (slots_[at].size != kEmpty) at = (at + 1) & (slots_.size() - 1);
    slots_[at] = slot;
  }
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
