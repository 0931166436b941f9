#include "dag/md5_digest.h"

#include <openssl/evp.h>

#include <memory>

namespace tolva {
namespace {

struct ContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

class Md5 {
 public:
  Md5() : context_(EVP_MD_CTX_new()) {
    ok_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_md5(), nullptr) == 1;
  }
  void update(std::string_view bytes) {
    if (ok_ && !bytes.empty()) ok_ = EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size()) == 1;
  }
  std::optional<Digest> finish() {
    Digest digest{};
    unsigned int size = 0;
    if (!ok_ || EVP_DigestFinal_ex(context_.get(), digest.data(), &size) != 1 || size != digest.size())
      return std::nullopt;
    return digest;
  }

 private:
  Context context_;
  bool ok_ = false;
};

}  // namespace

std::optional<Digest> md5_digest(std::string_view text) {
  Md5 md5;
  md5.update(text);
  return md5.finish();
}

std::optional<Digest> md5_digest(std::string_view prefix, const TreeText& text,
                                 std::string_view suffix) {
  Md5 md5;
  md5.update(prefix);
  if (text.is_flat()) {
    md5.update(text.flat_text());
  } else {
    TreeText::ChunkCursor cursor(text);
    for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next()) md5.update(chunk);
  }
  md5.update(suffix);
  return md5.finish();
}

std::string hex_digest(const Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(digest.size() * 2);
  for (std::uint8_t byte : digest) {
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0f];
  }
  return out;
}

}  // namespace tolva
