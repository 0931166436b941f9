#include "dot/token_lookahead.h"

#include <functional>
#include <utility>

namespace tolva {

void TokenLookahead::watch_ids(IdWatcher watcher) {
  watcher_ = std::move(watcher);
  for (std::size_t i = 0; i < count_; ++i) show(slots_[(first_ + i) % kSlots]);
}

void TokenLookahead::show(const Slot& slot) const {
  if (watcher_ && slot.token.kind == DotTokenKind::kId) watcher_(slot.token.text);
}

void TokenLookahead::read_ahead() {
  while (count_ < kAhead && !lexer_done_) {
    auto token = lexer_.next();
    if (!token) {
      error_ = std::move(token.error());
      lexer_done_ = true;
      break;
    }
    Slot& slot = slots_[(first_ + count_) % kSlots];
    slot.token = *token;
    ++count_;
    if (token->kind == DotTokenKind::kEnd) {
      lexer_done_ = true;
      break;
    }
    // The lexer rewrites some quoted ids in a buffer of its own that it
    // reuses two tokens later; such a text is copied into the slot.
    std::string_view& text = slot.token.text;
    auto inside_input = [&] {
      std::less_equal<const char*> not_after;
      return not_after(input_.data(), text.data()) &&
             not_after(text.data() + text.size(), input_.data() + input_.size());
    };
    if (!text.empty() && !inside_input()) {
      slot.owned_text.assign(text);
      text = slot.owned_text;
    }
    show(slot);
  }
}

std::expected<DotToken, DotSyntaxError> TokenLookahead::next() {
  read_ahead();
  if (count_ == 0) {
    if (error_) return std::unexpected(*error_);
    return lexer_.next();  // past the end: the end again
  }
  const DotToken& token = slots_[first_].token;
  first_ = (first_ + 1) % kSlots;
  --count_;
  return token;
}

}  // namespace tolva
