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
    char* at = reserve(text.size());
    std::memcpy(at, text.data(), text.size());
    return {at, text.size()};
  }

  // Room for `size` characters, written by the caller before anything else is
  // stored; the returned view becomes valid once written.
  char* reserve(std::size_t size) {
    if (size == 0) return nullptr;
    if (room_ < size) start_block(size);
    char* at = next_;
    next_ += size;
    room_ -= size;
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
    next_ = nullptr;
    room_ = 0;
    last_size_ = 0;
    return *this;
  }
  TextStore(TextStore&& other) noexcept
      : blocks_(std::move(other.blocks_)),
        next_(std::exchange(other.next_, nullptr)),
        room_(std::exchange(other.room_, 0)),
        last_size_(std::exchange(other.last_size_, 0)) {}
  TextStore& operator=(TextStore&& other) noexcept {
    blocks_ = std::move(other.blocks_);
    next_ = std::exchange(other.next_, nullptr);
    room_ = std::exchange(other.room_, 0);
    last_size_ = std::exchange(other.last_size_, 0);
    return *this;
  }

 private:
  static constexpr std::size_t kFirstBlock = 512;
  static constexpr std::size_t kLargestBlock = 1 << 20;

  // One allocation per block: the characters share it with their count of owners.
  void start_block(std::size_t at_least) {
    std::size_t size = last_size_ != 0 ? std::min(last_size_ * 2, kLargestBlock) : kFirstBlock;
    size = std::max(size, at_least);
    blocks_.push_back(std::make_shared_for_overwrite<char[]>(size));
    next_ = blocks_.back().get();
    room_ = size;
    last_size_ = size;
  }

  std::vector<std::shared_ptr<char[]>> blocks_;
  // Where new texts go: the rest of the last block this store made (none
  // after a copy, whose blocks are all shared).
  char* next_ = nullptr;
  std::size_t room_ = 0;
  std::size_t last_size_ = 0;  // of that block; 0 when there is none
};

}  // namespace tolva
