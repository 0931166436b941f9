#include "dot/node_id_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace tolva {
namespace {

// Ids around the inline limit of 7 bytes, ids that are prefixes of one
// another or differ only in a zero byte or a byte >= 0x80, and enough of
// them to grow the table several times.
TEST(NodeIdCache, FindsEveryInsertedIdAndNothingElse) {
  std::vector<std::string> ids = {"",
                                  "a",
                                  std::string(7, 'x'),
                                  std::string(8, 'x'),
                                  std::string(100, 'y'),
                                  std::string("a\0", 2),
                                  std::string("\0a", 2),
                                  std::string(7, '\xff'),
                                  std::string(8, '\xff')};
  for (int i = 0; i < 5000; ++i) ids.push_back("n" + std::to_string(i) + std::string(i % 30, 'z'));
  NodeIdCache cache;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_FALSE(cache.find(ids[i])) << ids[i];
    cache.insert(ids[i], static_cast<NodeIndex>(i));
  }
  for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(cache.find(ids[i]), static_cast<NodeIndex>(i)) << ids[i];
  for (std::string missing : {std::string(6, 'x'), std::string(9, 'x'), std::string("n2z"), std::string("b"),
                              std::string("\0", 1), std::string("a\0\0", 3), std::string(6, '\xff')})
    EXPECT_FALSE(cache.find(missing)) << missing;
}

// Against a standard map on random ids over a tiny alphabet (many near
// misses), lookups of present and absent ids interleaved with inserts.
TEST(NodeIdCache, AgreesWithAStandardMap) {
  std::mt19937 random(7);
  const std::string alphabet("ab\0\x80", 4);
  std::unordered_map<std::string, NodeIndex> expected;
  NodeIdCache cache;
  for (int step = 0; step < 40000; ++step) {
    std::string id(random() % 12, ' ');
    for (char& c : id) c = alphabet[random() % alphabet.size()];
    auto known = expected.find(id);
    std::optional<NodeIndex> found = cache.find(id);
    if (known == expected.end()) {
      ASSERT_FALSE(found) << "step " << step;
      auto node = static_cast<NodeIndex>(expected.size());
      cache.insert(id, node);
      expected.emplace(id, node);
    } else {
      ASSERT_EQ(found, known->second) << "step " << step;
    }
  }
}

}  // namespace
}  // namespace tolva
