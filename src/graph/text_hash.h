// text_hash: a fast 64-bit hash of a short text, for the lookup tables of one
// call (the id table of a graph store, the digest memo). Not a stable format
// and not for anything whose order is observed: tables that use it are only
// ever asked "is it there".
//
// Ids and small texts are a few bytes long, where the standard library's
// hash spends most of its time on setup. This one reads the text in at most
// two (possibly overlapping) words per 16 bytes and mixes them by a 64x64-bit
// multiplication whose two halves are folded together, so every input bit
// reaches the low bits that a power-of-two table uses.
//
//   std::uint64_t h = text_hash("a12");
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace tolva {

namespace text_hash_detail {

__extension__ typedef unsigned __int128 Wide;

inline std::uint64_t fold_multiply(std::uint64_t a, std::uint64_t b) {
  Wide product = static_cast<Wide>(a) * b;
  return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

inline std::uint64_t load64(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

inline std::uint64_t load32(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

inline constexpr std::uint64_t kSeed = 0xa0761d6478bd642full;
inline constexpr std::uint64_t kOdd1 = 0xe7037ed1a0b428dbull;
inline constexpr std::uint64_t kOdd2 = 0x8ebc6af09c88c6e3ull;

}  // namespace text_hash_detail

inline std::uint64_t text_hash(std::string_view text) {
  using namespace text_hash_detail;
  const char* at = text.data();
  std::size_t left = text.size();
  std::uint64_t state = kSeed ^ text.size();
  for (; left > 16; at += 16, left -= 16) state = fold_multiply(load64(at) ^ kOdd1, load64(at + 8) ^ state);
  // The last 1 to 16 bytes: two words that together cover every byte.
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  if (left >= 8) {
    a = load64(at);
    b = load64(at + left - 8);
  } else if (left >= 4) {
    a = load32(at);
    b = load32(at + left - 4);
  } else if (left > 0) {
    auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(at[i])); };
    a = byte(0) << 16 | byte(left / 2) << 8 | byte(left - 1);
  }
  return fold_multiply(fold_multiply(a ^ kOdd1, b ^ state) ^ kOdd2, kSeed ^ text.size());
}

}  // namespace tolva
