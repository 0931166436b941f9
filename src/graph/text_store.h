// TextStore: where a graph keeps the characters of its ids, labels,
// modalities and cached magnets; node and edge records hold string_views
// into it, so the records themselves are plain data that copy as bytes.
//
// Texts live in blocks that are never moved or changed once written. A copy
// of a store shares the blocks written so far (the pipeline copies graphs all
// the time, and a copy mostly reads the texts of the original); each store
// writes new texts only into a block it owns alone. A view returned by store()
// stays valid for as long as any store holding its block lives.
//
//   TextStore texts;
//   std::string_view id = texts.store("a12");
//   TextStore copy = texts;              // shares the block holding "a12"
//   copy.store("#m0_1");                 // goes to a new block of the copy's own
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace tolva {

class TextStore {
 public:
  // A stable copy of `text`.
  std::string_view store(std::string_view text) {
    if (text.empty()) return {};
    if (!writable_ || writable_->size - writable_->used < text.size()) start_block(text.size());
    char* at = writable_->bytes.get() + writable_->used;
    std::memcpy(at, text.data(), text.size());
    writable_->used += text.size();
    return {at, text.size()};
  }

  // Room for `size` characters, written by the caller before anything else is
  // stored; the returned view becomes valid once written.
  char* reserve(std::size_t size) {
    if (size == 0) return nullptr;
    if (!writable_ || writable_->size - writable_->used < size) start_block(size);
    char* at = writable_->bytes.get() + writable_->used;
    writable_->used += size;
    return at;
  }

  // Keeps the texts of `other` alive as long as this store lives, so views
  // into them may be kept here.
  void keep_alive(const TextStore& other) {
    blocks_.insert(blocks_.end(), other.blocks_.begin(), other.blocks_.end());
  }

  TextStore() = default;
  TextStore(const TextStore& other) : blocks_(other.blocks_) {}
  TextStore& operator=(const TextStore& other) {
    blocks_ = other.blocks_;
    writable_ = nullptr;
    return *this;
  }
  TextStore(TextStore&& other) noexcept
      : blocks_(std::move(other.blocks_)), writable_(std::exchange(other.writable_, nullptr)) {}
  TextStore& operator=(TextStore&& other) noexcept {
    blocks_ = std::move(other.blocks_);
    writable_ = std::exchange(other.writable_, nullptr);
    return *this;
  }

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    std::size_t used = 0;
  };

  static constexpr std::size_t kFirstBlock = 512;
  static constexpr std::size_t kLargestBlock = 1 << 20;

  void start_block(std::size_t at_least) {
    std::size_t size = writable_ ? std::min(writable_->size * 2, kLargestBlock) : kFirstBlock;
    size = std::max(size, at_least);
    auto block = std::make_shared<Block>();
    block->bytes = std::make_unique_for_overwrite<char[]>(size);
    block->size = size;
    blocks_.push_back(block);
    writable_ = block.get();
  }

  std::vector<std::shared_ptr<Block>> blocks_;
  // The block new texts go to: the last one, when this store made it.
  Block* writable_ = nullptr;
};

}  // namespace tolva
