// TokenLookahead: a DotLexer that reads a few dozen tokens ahead of its
// caller and shows each id to a watcher as soon as it is read.
//
// A large DOT file mentions its nodes in no useful order, so every mention
// is a lookup in a table far bigger than the caches. Looking the ids up one
// after the other waits for memory once per mention; seeing them early lets
// the reader ask memory for them in advance (a prefetch), many at a time.
// The watcher must not change what the caller will see: it only warms caches.
//
// Tokens come out exactly as DotLexer gives them, errors included (an error
// read ahead is handed out in its turn, and nothing is read past it), with
// the same lifetime for a token's text: valid until two further tokens have
// been taken.
//
//   TokenLookahead tokens(text);
//   tokens.watch_ids([&](std::string_view id) { cache.prefetch(id); });
//   auto token = tokens.next();
#pragma once

#include <array>
#include <cstddef>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dot/dot_lexer.h"

namespace tolva {

class TokenLookahead {
 public:
  using IdWatcher = std::function<void(std::string_view)>;

  explicit TokenLookahead(std::string_view input) : input_(input), lexer_(input) {}

  // Shows the watcher every id read from now on, also those already read
  // ahead and not yet taken.
  void watch_ids(IdWatcher watcher);

  std::expected<DotToken, DotSyntaxError> next();

 private:
  // Enough tokens to cover several statements of an edge list ("a -- b;" is
  // four); two slots stay with the last two tokens taken, whose texts must
  // stay valid.
  static constexpr std::size_t kSlots = 32;
  static constexpr std::size_t kAhead = kSlots - 2;

  struct Slot {
    DotToken token;
    std::string owned_text;  // a token text that lives in the lexer's scratch
  };

  void read_ahead();
  void show(const Slot& slot) const;

  std::string_view input_;
  DotLexer lexer_;
  std::array<Slot, kSlots> slots_;
  std::size_t first_ = 0;  // the next slot to take
  std::size_t count_ = 0;  // slots read ahead, not taken yet
  bool lexer_done_ = false;  // it gave the end or an error
  // The lexer's error, handed out after the tokens before it.
  std::optional<DotSyntaxError> error_;
  IdWatcher watcher_;
};

}  // namespace tolva
