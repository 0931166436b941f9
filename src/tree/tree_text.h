// TreeText: the immutable text of one subtree of a tree string.
//
// A node's text is "(" + its children's texts, each followed by ":" and the
// modality of the edge to it, joined by ", " + ")" + its label. Written out
// naively, every ancestor copies the text of everything below it, which costs
// time quadratic in the depth (a path of a million nodes would copy terabytes).
// TreeText therefore keeps small texts flat, as one run of characters, and a
// large text as a node that refers to its children's TreeTexts; it is written
// out once, on demand. Comparison, writing and streaming work on either form
// with explicit stacks, never recursion.
//
// A TreeText is a view: its characters and nodes live in a TextArena (or any
// storage that outlives it), normally the arena of the walk that built it.
//
//   TextArena arena;
//   TreeText leaf = TreeText::flat("B");
//   TreeText::Item items[] = {{leaf, "1"}};
//   TreeText root = TreeText::node(arena, items, "R");   // "(B:1)R"
//   root.str();                      // "(B:1)R"
//   root.compare(leaf) < 0;          // bytewise: '(' sorts before 'B'
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tree/text_arena.h"

namespace tolva {

class TreeText {
  struct Composite;

 public:
  struct Item;

  // Texts up to this many bytes are kept flat.
  static constexpr std::size_t kFlatLimit = 4096;

  TreeText() = default;
  // A text whose characters the caller keeps alive.
  static TreeText flat(std::string_view text) { return TreeText(text.data(), text.size(), nullptr); }
  // "(" + items joined by ", " (each child + ":" + modality) + ")" + label,
  // kept flat (written into `arena`) when small enough and every child is flat.
  static TreeText node(TextArena& arena, std::span<const Item> items, std::string_view label);
  // Always the referring form (for texts known to be large).
  static TreeText composite(TextArena& arena, std::span<const Item> items, std::string_view label);

  std::size_t size() const { return size_; }
  bool is_flat() const { return composite_ == nullptr; }
  // The flat text; only valid when is_flat().
  std::string_view flat_text() const { return {data_, size_}; }

  std::string str() const;
  void append_to(std::string& out) const;
  // Writes the size() characters to `out`; returns the end of what it wrote.
  char* copy_to(char* out) const;

  // Bytewise three-way comparison (unsigned bytes, a proper prefix first).
  int compare(const TreeText& other) const;

  // Streams the text in order as non-empty pieces; next() returns an empty
  // view at the end. The TreeText must outlive the cursor.
  class ChunkCursor {
   public:
    explicit ChunkCursor(const TreeText& text);
    std::string_view next();

   private:
    // One open composite: which item comes next and which piece of it.
    struct Level {
      enum class Step { Open, Separator, Child, Colon, Modality, Label };
      const Composite* node;
      std::size_t item = 0;
      Step step = Step::Open;
    };
    std::vector<Level> stack_;
    std::string_view pending_flat_;
  };

 private:
  TreeText(const char* data, std::size_t size, const Composite* composite)
      : data_(data), size_(size), composite_(composite) {}

  const char* data_ = nullptr;
  std::size_t size_ = 0;
  const Composite* composite_ = nullptr;
};

// One child as written inside its parent's parentheses.
struct TreeText::Item {
  TreeText child;
  std::string_view modality;
};

struct TreeText::Composite {
  const Item* items;
  std::size_t count;
  std::string_view label;
};

// One child as written inside its parent's parentheses, both texts flat.
struct BranchText {
  std::string_view text;
  std::string_view modality;
};

// "(" + entries joined by ", " (each text + ":" + modality) + ")" + label;
// "()" + label when there are no entries.
std::string build_node_string(std::string_view label, const std::vector<BranchText>& entries);

// The size of "(" + count entries + ")" + label, where entry i is
// text_size(i) + ":" + modality_size(i) and entries are joined by ", ".
template <typename TextSizeAt, typename ModalitySizeAt>
std::size_t node_text_size(std::string_view label, std::size_t count, TextSizeAt text_size,
                           ModalitySizeAt modality_size) {
  std::size_t size = 2 + label.size() + (count > 1 ? 2 * (count - 1) : 0);
  for (std::size_t i = 0; i < count; ++i) size += text_size(i) + 1 + modality_size(i);
  return size;
}

// Writes "(" + entries joined by ", " (text_at(i) + ":" + modality_at(i)) + ")"
// + label at `out`, which has room for node_text_size(...) characters.
// Copies a piece of a node text. Most pieces (labels, modalities, leaf
// texts) are a few bytes, where a call to memcpy costs more than the copy:
// up to 16 bytes are moved as two words that overlap as needed, never
// touching a byte outside the piece or its destination.
inline void copy_piece(char* out, const char* in, std::size_t size) {
  auto move = [&]<typename Word>(Word) {
    Word head;
    Word tail;
    std::memcpy(&head, in, sizeof head);
    std::memcpy(&tail, in + size - sizeof tail, sizeof tail);
    std::memcpy(out, &head, sizeof head);
    std::memcpy(out + size - sizeof tail, &tail, sizeof tail);
  };
  if (size > 16) {
    std::memcpy(out, in, size);
  } else if (size >= 8) {
    move(std::uint64_t{});
  } else if (size >= 4) {
    move(std::uint32_t{});
  } else {
    for (std::size_t i = 0; i < size; ++i) out[i] = in[i];
  }
}

template <typename TextAt, typename ModalityAt>
char* write_node_text(char* out, std::string_view label, std::size_t count, TextAt text_at,
                      ModalityAt modality_at) {
  auto put = [&out](std::string_view piece) {
    copy_piece(out, piece.data(), piece.size());
    out += piece.size();
  };
  *out++ = '(';
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) put(", ");
    put(text_at(i));
    *out++ = ':';
    put(modality_at(i));
  }
  *out++ = ')';
  put(label);
  return out;
}

// The flat node text of `count` children (text_at(i) a TreeText, modality_at(i)
// its modality) written into `arena`, or nothing when a child is not flat or
// the text would pass TreeText::kFlatLimit: the rule by which TreeText::node
// chooses its form, for callers that hold their children in their own lists.
template <typename TextAt, typename ModalityAt>
std::optional<TreeText> flat_node_text(TextArena& arena, std::string_view label, std::size_t count,
                                       TextAt text_at, ModalityAt modality_at) {
  for (std::size_t i = 0; i < count; ++i)
    if (!text_at(i).is_flat()) return std::nullopt;
  std::size_t size = node_text_size(
      label, count, [&](std::size_t i) { return text_at(i).size(); },
      [&](std::size_t i) { return modality_at(i).size(); });
  if (size > TreeText::kFlatLimit) return std::nullopt;
  char* text = arena.chars(size);
  write_node_text(
      text, label, count, [&](std::size_t i) { return text_at(i).flat_text(); }, modality_at);
  return TreeText::flat(std::string_view(text, size));
}

}  // namespace tolva
