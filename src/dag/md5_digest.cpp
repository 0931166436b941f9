#include "dag/md5_digest.h"

#include <openssl/evp.h>

namespace tolva {

struct Md5Hasher::State {
  EVP_MD* md5 = nullptr;
  EVP_MD_CTX* context = nullptr;

  ~State() {
    EVP_MD_CTX_free(context);
    EVP_MD_free(md5);
  }

  bool begin() {
    return md5 != nullptr && context != nullptr && EVP_DigestInit_ex(context, md5, nullptr) == 1;
  }
  bool update(std::string_view bytes) {
    return bytes.empty() || EVP_DigestUpdate(context, bytes.data(), bytes.size()) == 1;
  }
  std::optional<Digest> finish() {
    Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &size) != 1 || size != digest.size())
      return std::nullopt;
    return digest;
  }
};

Md5Hasher::Md5Hasher() : state_(std::make_unique<State>()) {
  state_->md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  state_->context = EVP_MD_CTX_new();
}

Md5Hasher::~Md5Hasher() = default;

std::optional<Digest> Md5Hasher::digest(std::string_view text) {
  if (!state_->begin() || !state_->update(text)) return std::nullopt;
  return state_->finish();
}

std::optional<Digest> Md5Hasher::digest(std::string_view prefix, const TreeText& text,
                                        std::string_view suffix) {
  if (!state_->begin() || !state_->update(prefix)) return std::nullopt;
  if (text.is_flat()) {
    if (!state_->update(text.flat_text())) return std::nullopt;
  } else {
    TreeText::ChunkCursor cursor(text);
    for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next())
      if (!state_->update(chunk)) return std::nullopt;
  }
  if (!state_->update(suffix)) return std::nullopt;
  return state_->finish();
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
