#include "dag/md5.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "dag/md5_digest.h"

namespace tolva {
namespace {

std::string hex(const Md5Digest& digest) { return hex_digest(digest); }

struct KnownDigest {
  std::string input;
  std::string digest;
};

// The test suite of RFC 1321 (appendix A.5), then the two lengths below the
// shortest magnet it leaves out and a message of many blocks, from Python's
// hashlib.
const std::vector<KnownDigest> kKnownDigests = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {"ab", "187ef4436122d1cc2f40dc2b92f0eba0"},
    {"abcd", "e2fc714c4727ee9395f324cd2e7f331f"},
    {std::string(1'000'000, 'a'), "7707d6ae4e027c70eea2a935c2296f21"},
};

TEST(Md5, KnownDigests) {
  for (const KnownDigest& v : kKnownDigests) EXPECT_EQ(hex(md5_of(v.input)), v.digest) << v.input.size() << " bytes";
}

// Fed in two pieces split anywhere, or byte by byte, the digest is the same:
// the partial-block buffer is filled, drained and padded right at every offset.
TEST(Md5, PiecesOfAnySizeGiveTheSameDigest) {
  std::mt19937 rng(7);
  for (std::size_t size = 0; size <= 200; ++size) {
    std::string text(size, '\0');
    for (char& c : text) c = static_cast<char>(rng());
    const Md5Digest whole = md5_of(text);
    Md5 md5;
    for (std::size_t split = 0; split <= size; ++split) {
      md5.update(std::string_view(text).substr(0, split));
      md5.update(std::string_view(text).substr(split));
      ASSERT_EQ(md5.finish(), whole) << size << " bytes split at " << split;
    }
    for (char c : text) md5.update(std::string_view(&c, 1));
    ASSERT_EQ(md5.finish(), whole) << size << " bytes one at a time";
  }
}

// finish() starts a new message, so a reused hasher forgets what it hashed.
TEST(Md5, FinishStartsOver) {
  Md5 md5;
  md5.update("message ");
  md5.finish();
  md5.update("message digest");
  EXPECT_EQ(hex(md5.finish()), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(hex(md5.finish()), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
}  // namespace tolva
