// Md5: the MD5 message digest (RFC 1321), computed by tolva itself.
//
// Magnet digests are fingerprints that rank and compare texts, not a security
// measure, so tolva does not ask a crypto library for them: a crypto library
// can refuse MD5 outright (a FIPS configuration does), may not be present
// where the wheel is installed, and costs a lookup and a context per digest.
// This one never fails and allocates nothing: its whole state is the object.
//
// Bytes can be fed in pieces of any size; whole 64-byte blocks are read
// straight from the caller's buffer, only a trailing partial block is copied.
//
//   Md5 md5;
//   md5.update("_(B:1)");
//   md5.update("R_");
//   Md5Digest digest = md5.finish();        // the same as md5_of("_(B:1)R_")
//   md5_of("abc");                          // 90 01 50 98 3c d2 4f b0 ...
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tolva {

// The 16 digest bytes, in the order MD5 writes them.
using Md5Digest = std::array<std::uint8_t, 16>;

class Md5 {
 public:
  Md5() { reset(); }

  // Appends `bytes` to the message.
  void update(std::string_view bytes);

  // The digest of every byte given since construction or the last finish();
  // the hasher then starts over with an empty message.
  Md5Digest finish();

 private:
  static constexpr std::size_t kBlockSize = 64;

  void reset();
  void process_blocks(const std::uint8_t* data, std::size_t block_count);

  std::array<std::uint32_t, 4> state_;
  std::uint64_t message_size_;  // bytes so far (MD5 records the length modulo 2^64 bits)
  std::size_t buffered_;        // bytes of a partial block waiting in buffer_
  std::array<std::uint8_t, kBlockSize> buffer_;
};

// The digest of `bytes` in one call.
Md5Digest md5_of(std::string_view bytes);

}  // namespace tolva
