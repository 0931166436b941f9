// TreeText: the immutable text of one subtree of a tree string.
//
// A node's text is "(" + its children's texts, each followed by ":" and the
// modality of the edge to it, joined by ", " + ")" + its label. Written out
// naively, every ancestor copies the text of everything below it, which costs
// time quadratic in the depth (a path of a million nodes would copy terabytes).
// TreeText therefore keeps small texts as one flat shared string and a large
// text as a node that refers to its children's TreeTexts; it is written out
// once, on demand, into a single buffer. Comparison, writing and streaming work
// on either form with explicit stacks, never recursion.
//
//   TreeText leaf = TreeText::flat(std::make_shared<const std::string>("B"));
//   TreeText root = TreeText::node({{leaf, "1"}}, "R");   // "(B:1)R"
//   root.str();                      // "(B:1)R"
//   root.compare(leaf) < 0;          // bytewise: '(' sorts before 'B'
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolva {

class TreeText {
  struct Composite;

 public:
  struct Item;

  // Texts up to this many bytes are kept flat.
  static constexpr std::size_t kFlatLimit = 4096;

  TreeText() = default;
  static TreeText flat(std::shared_ptr<const std::string> text);
  // "(" + items joined by ", " (each child + ":" + modality) + ")" + label,
  // kept flat when small enough and every child is flat.
  static TreeText node(const std::vector<Item>& items, std::string_view label);
  // Always the referring form (for texts known to be large).
  static TreeText composite(std::vector<Item> items, std::string_view label);

  std::size_t size() const;
  bool is_flat() const;
  // The flat text; only valid when is_flat().
  const std::string& flat_text() const;

  std::string str() const;
  void append_to(std::string& out) const;

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
  std::shared_ptr<const std::string> flat_;
  std::shared_ptr<const Composite> composite_;
};

// One child as written inside its parent's parentheses.
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

// Appends "(" + entries joined by ", " (text_at(i) + ":" + modality_at(i)) + ")" + label.
template <typename TextAt, typename ModalityAt>
void append_node_text(std::string& out, std::string_view label, std::size_t count, TextAt text_at,
                      ModalityAt modality_at) {
  out += '(';
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) out += ", ";
    out += text_at(i);
    out += ':';
    out += modality_at(i);
  }
  out += ')';
  out += label;
}

struct TreeText::Item {
  TreeText child;
  std::string modality;
};

}  // namespace tolva
