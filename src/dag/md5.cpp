#include "dag/md5.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace tolva {
namespace {

// The additive constants: floor(|sin(i + 1)| * 2^32), i = 0..63.
constexpr std::array<std::uint32_t, 64> kSineTable = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left rotations of each round, repeating every four steps.
constexpr std::array<std::array<int, 4>, 4> kShifts = {
    {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}}};

std::uint32_t load_little_endian(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

void store_little_endian(std::uint32_t word, std::uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
}

// The mixing function of each round, in forms with one operation fewer.
template <int Round>
[[gnu::always_inline]] inline std::uint32_t mix(std::uint32_t b, std::uint32_t c, std::uint32_t d) {
  if constexpr (Round == 0)
    return d ^ (b & (c ^ d));  // (b & c) | (~b & d)
  else if constexpr (Round == 1)
    return c ^ (d & (b ^ c));  // (b & d) | (c & ~d)
  else if constexpr (Round == 2)
    return b ^ c ^ d;
  else
    return c ^ (b | ~d);
}

// The message word a step reads: in order, then from 1 by 5, from 5 by 3, from 0 by 7.
constexpr int word_index(int step) {
  switch (step / 16) {
    case 0: return step;
    case 1: return (5 * step + 1) % 16;
    case 2: return (3 * step + 5) % 16;
    default: return (7 * step) % 16;
  }
}

using Words = std::uint32_t[16];

// One step: mixes b, c and d, adds a message word and a constant into a,
// rotates and adds b. The steps are forced inline so that the four state words
// stay in registers for the whole block; called, they would go through memory.
template <int Step>
[[gnu::always_inline]] inline void step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                                        const Words& words) {
  constexpr int round = Step / 16;
  std::uint32_t sum = a + words[word_index(Step)] + kSineTable[Step];
  if constexpr (round == 1)
    // (b & d) | (c & ~d) as a sum of its two disjoint halves: the half that
    // waits for b, the newest word, is one operation.
    sum += (c & ~d), sum += (b & d);
  else
    sum += mix<round>(b, c, d);
  a = b + std::rotl(sum, kShifts[round][Step % 4]);
}

// Four steps from `First` on; after each, the words turn one place,
// (a, b, c, d) -> (d, a, b, c), which is done here by naming them so.
template <int First>
[[gnu::always_inline]] inline void four_steps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c,
                                              std::uint32_t& d, const Words& words) {
  step<First>(a, b, c, d, words);
  step<First + 1>(d, a, b, c, words);
  step<First + 2>(c, d, a, b, words);
  step<First + 3>(b, c, d, a, words);
}

template <int... Groups>
[[gnu::always_inline]] inline void all_steps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c,
                                             std::uint32_t& d, const Words& words,
                                             std::integer_sequence<int, Groups...>) {
  (four_steps<4 * Groups>(a, b, c, d, words), ...);
}

}  // namespace

void Md5::reset() {
  state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  message_size_ = 0;
  buffered_ = 0;
}

void Md5::process_blocks(const std::uint8_t* data, std::size_t block_count) {
  auto [a, b, c, d] = state_;
  for (; block_count > 0; --block_count, data += kBlockSize) {
    Words words;
    for (int i = 0; i < 16; ++i) words[i] = load_little_endian(data + 4 * i);
    const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;
    all_steps(a, b, c, d, words, std::make_integer_sequence<int, 16>{});
    a += a0;
    b += b0;
    c += c0;
    d += d0;
  }
  state_ = {a, b, c, d};
}

void Md5::update(std::string_view bytes) {
  if (bytes.empty()) return;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t size = bytes.size();
  message_size_ += size;
  if (buffered_ > 0) {
    std::size_t taken = std::min(size, kBlockSize - buffered_);
    std::memcpy(buffer_.data() + buffered_, data, taken);
    buffered_ += taken;
    data += taken;
    size -= taken;
    if (buffered_ < kBlockSize) return;
    process_blocks(buffer_.data(), 1);
    buffered_ = 0;
  }
  if (std::size_t blocks = size / kBlockSize; blocks > 0) {
    process_blocks(data, blocks);
    data += blocks * kBlockSize;
    size -= blocks * kBlockSize;
  }
  if (size > 0) std::memcpy(buffer_.data(), data, size);
  buffered_ = size;
}

Md5Digest Md5::finish() {
  // Padding: one 1 bit, zeros up to 8 bytes short of a block end, then the
  // message length in bits as a little-endian 64-bit number.
  const std::uint64_t bit_count = message_size_ * 8;
  buffer_[buffered_++] = 0x80;
  if (buffered_ > kBlockSize - 8) {
    std::memset(buffer_.data() + buffered_, 0, kBlockSize - buffered_);
    process_blocks(buffer_.data(), 1);
    buffered_ = 0;
  }
  std::memset(buffer_.data() + buffered_, 0, kBlockSize - 8 - buffered_);
  store_little_endian(static_cast<std::uint32_t>(bit_count), buffer_.data() + kBlockSize - 8);
  store_little_endian(static_cast<std::uint32_t>(bit_count >> 32), buffer_.data() + kBlockSize - 4);
  process_blocks(buffer_.data(), 1);

  Md5Digest digest;
  for (int i = 0; i < 4; ++i) store_little_endian(state_[i], digest.data() + 4 * i);
  reset();
  return digest;
}

Md5Digest md5_of(std::string_view bytes) {
  Md5 md5;
  md5.update(bytes);
  return md5.finish();
}

}  // namespace tolva
