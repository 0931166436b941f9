// TextArena: bump allocation for the texts and text nodes of one tree walk.
//
// A walk writes many small texts whose lifetimes all end together (when the
// walk's result has been used), so they are carved from large blocks and freed
// all at once by reset(), which keeps the blocks for the next walk. Only
// trivially destructible objects belong here: nothing is ever destroyed.
//
//   TextArena arena;
//   char* text = arena.chars(5);            // room for 5 bytes
//   Item* items = arena.array<Item>(3);     // room for 3 Items (not initialised)
//   arena.reset();                          // everything above is gone
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace tolva {

class TextArena {
 public:
  // The first block holds `first_block` bytes; each later one twice the last.
  explicit TextArena(std::size_t first_block = kFirstBlock) : first_block_(first_block) {}

  char* chars(std::size_t count) {
    // Most texts fit in the current block: one comparison, no alignment.
    if (current_ < blocks_.size() && count != 0 && count <= blocks_[current_].size - used_) {
      char* at = reinterpret_cast<char*>(blocks_[current_].bytes.get()) + used_;
      used_ += count;
      return at;
    }
    return static_cast<char*>(bytes(count, 1));
  }

  template <typename T>
  T* array(std::size_t count) {
    static_assert(std::is_trivially_destructible_v<T>);
    return static_cast<T*>(bytes(count * sizeof(T), alignof(T)));
  }

  // Forgets everything allocated; keeps the blocks.
  void reset() {
    current_ = 0;
    used_ = 0;
  }

 private:
  static constexpr std::size_t kFirstBlock = 4096;

  struct Block {
    std::unique_ptr<std::byte[]> bytes;
    std::size_t size;
  };

  void* bytes(std::size_t count, std::size_t align) {
    if (count == 0) count = 1;
    while (true) {
      if (current_ < blocks_.size()) {
        Block& block = blocks_[current_];
        std::size_t start = (used_ + align - 1) & ~(align - 1);
        if (start + count <= block.size) {
          used_ = start + count;
          return block.bytes.get() + start;
        }
        if (current_ + 1 < blocks_.size() && blocks_[current_ + 1].size >= count + align) {
          ++current_;
          used_ = 0;
          continue;
        }
      }
      add_block(count + align);
    }
  }

  void add_block(std::size_t at_least) {
    std::size_t size = std::max(at_least, blocks_.empty() ? first_block_ : blocks_.back().size * 2);
    // A new block goes right after the current one, so reset() reaches it first next time.
    std::size_t at = blocks_.empty() ? 0 : current_ + 1;
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(at),
                   Block{std::make_unique_for_overwrite<std::byte[]>(size), size});
    current_ = at;
    used_ = 0;
  }

  std::size_t first_block_;
  std::vector<Block> blocks_;
  std::size_t current_ = 0;
  std::size_t used_ = 0;
};

}  // namespace tolva
