#include "dot/token_lookahead.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dot/dot_lexer.h"

namespace tolva {
namespace {

// "kind:text" of a token, or "error@offset: message".
std::string shown(const std::expected<DotToken, DotSyntaxError>& token) {
  if (!token) return "error@" + std::to_string(token.error().offset) + ": " + token.error().message;
  return std::to_string(static_cast<int>(token->kind)) + "@" + std::to_string(token->begin) + ":" +
         std::string(token->text);
}

// Random DOT-like text: ids the lexer rewrites (escaped quotes, joined
// strings, line continuations) among plain ones, and at times a fault.
std::string random_text(std::mt19937& random) {
  static const std::vector<std::string> pieces = {
      "a", "n12", "--", "->", ";", "{", "}", "[", "]", "=", ",", "\"q\\\"x\"", "\"p\" + \"r\"",
      "\"long\\\nline\"", "<h<b>>", "-1.5", "// note\n", "/* c */", "\n#x\n", "subgraph", "node"};
  static const std::vector<std::string> faults = {"@", "\"open", "/* open", "<open"};
  std::string text;
  int count = static_cast<int>(random() % 120);
  for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()] + " ";
  if (random() % 3 == 0) text += faults[random() % faults.size()] + " a b";
  return text;
}

// The tokens come out as the lexer gives them, each text still intact two
// tokens later, up to and including the first error; and the watcher sees
// every id, in order, before it is taken.
TEST(TokenLookahead, GivesTheLexersTokensAndShowsEveryIdEarly) {
  std::mt19937 random(11);
  for (int round = 0; round < 500; ++round) {
    std::string text = random_text(random);
    std::vector<std::string> expected;
    std::vector<std::string> expected_ids;
    DotLexer lexer(text);
    for (;;) {
      auto token = lexer.next();
      expected.push_back(shown(token));
      if (!token || token->kind == DotTokenKind::kEnd) break;
      if (token->kind == DotTokenKind::kId) expected_ids.emplace_back(token->text);
    }

    TokenLookahead tokens(text);
    std::vector<std::string> seen_ids;
    tokens.watch_ids([&](std::string_view id) { seen_ids.emplace_back(id); });
    std::vector<std::expected<DotToken, DotSyntaxError>> taken;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      taken.push_back(tokens.next());
      ASSERT_EQ(shown(taken.back()), expected[i]) << text;
      if (i >= 2) ASSERT_EQ(shown(taken[i - 2]), expected[i - 2]) << "text lost at " << i - 2 << ": " << text;
      std::size_t ids_taken = 0;
      for (const auto& token : taken) ids_taken += token && token->kind == DotTokenKind::kId;
      ASSERT_GE(seen_ids.size(), ids_taken) << text;
    }
    EXPECT_EQ(seen_ids, expected_ids) << text;
  }
}

}  // namespace
}  // namespace tolva
