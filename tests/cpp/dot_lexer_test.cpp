#include "dot/dot_lexer.h"

#include <gtest/gtest.h>

#include <string>

namespace tolva {
namespace {

// Every token as "kind-number:text", or "error@offset: message" at the first failure.
std::string tokens(std::string_view text) {
  DotLexer lexer(text);
  std::string out;
  for (;;) {
    auto token = lexer.next();
    if (!token) return out + "error@" + std::to_string(token.error().offset) + ": " + token.error().message;
    if (token->kind == DotTokenKind::kEnd) return out + "end@" + std::to_string(token->begin);
    out += std::to_string(static_cast<int>(token->kind)) + ":" + std::string(token->text) + " ";
  }
}

struct LexCase {
  const char* input;
  const char* tokens;
};

class DotLexerCase : public testing::TestWithParam<LexCase> {};

TEST_P(DotLexerCase, SplitsTheText) { EXPECT_EQ(tokens(GetParam().input), GetParam().tokens); }

// Kinds: 0 id, 1 strict, 2 graph, 3 digraph, 4 subgraph, 5 node, 6 edge, 7 {, 8 }, 9 [, 10 ],
// 11 ;, 12 ",", 13 =, 14 :, 15 --, 16 ->.
INSTANTIATE_TEST_SUITE_P(
    Tokens, DotLexerCase,
    testing::Values(
        LexCase{"strict Digraph subGRAPH Node EDGE nodes", "1:strict 3:Digraph 4:subGRAPH 5:Node 6:EDGE 0:nodes end@39"},
        LexCase{"{}[];,=:-- -> -->", "7:{ 8:} 9:[ 10:] 11:; 12:, 13:= 14:: 15:-- 16:-> 15:-- error@16: unexpected character '>'"},
        LexCase{"a---1 -.5 1. 007", "0:a 15:-- 0:-1 0:-.5 0:1. 0:007 end@16"},
        LexCase{"_x\xc3\xa9\xe2\x80\xa8y z9", "0:_x\xc3\xa9\xe2\x80\xa8y 0:z9 end@11"},
        LexCase{"\"\" \"a b\" \"q\\\"\" \"\\\\\" \"x\\y\"", "0: 0:a b 0:q\" 0:\\\\ 0:x\\y end@25"},
        LexCase{"\"a\" /* c */ + // d\n \"b\" + \"c\" x", "0:abc 0:x end@31"},
        // The value of a joined string stays valid while the next one is read.
        LexCase{"\"a\\\"\" + \"1\" \"b\\\"\" + \"2\"", "0:a\"1 0:b\"2 end@23"},
        LexCase{"<a<b>c</b>> <>", "0:a<b>c</b> 0: end@14"},
        LexCase{"#x\n #y", "error@4: unexpected character '#'"},
        LexCase{"a\r#x\n/**/b", "0:a 0:b end@10"},
        LexCase{"\xef\xbb\xbf\xef\xbb\xbf", "0:\xef\xbb\xbf end@6"},
        LexCase{"a - b", "0:a error@2: unexpected character '-'"},
        LexCase{". /", "error@0: unexpected character '.'"},
        LexCase{"-.", "error@0: unexpected character '-'"},
        LexCase{"\"abc\\\"", "error@0: unterminated quoted string"},
        LexCase{"\"a\" + x", "error@4: '+' must join two quoted strings"},
        LexCase{"<a<b>", "error@0: unterminated HTML string (unbalanced '<' and '>')"},
        LexCase{"a /* b", "0:a error@2: unterminated comment"}));

TEST(DotLexer, DescribesTokensForMessages) {
  DotLexer lexer("-> x");
  EXPECT_EQ(describe_token(*lexer.next()), "'->'");
  EXPECT_EQ(describe_token(*lexer.next()), "id 'x'");
  EXPECT_EQ(describe_token(*lexer.next()), "end of input");
  // A shortened id never ends inside a character.
  std::string text = std::string(39, 'a') + "\xc3\xa9\xc3\xa9";
  DotLexer long_id(text);
  EXPECT_EQ(describe_token(*long_id.next()), "id '" + std::string(39, 'a') + "...'");
}

}  // namespace
}  // namespace tolva
