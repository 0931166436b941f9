#include "dot/node_id_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolva {
namespace {

// Ids around the inline limit of 16 bytes, ids that are prefixes of one
// another, and enough of them to grow the table several times.
TEST(NodeIdCache, FindsEveryInsertedIdAndNothingElse) {
  std::vector<std::string> ids = {"", "a", std::string(16, 'x'), std::string(17, 'x'), std::string(100, 'y')};
  for (int i = 0; i < 5000; ++i) ids.push_back("node-" + std::to_string(i) + std::string(i % 30, 'z'));
  NodeIdCache cache;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_FALSE(cache.find(ids[i])) << ids[i];
    cache.insert(ids[i], static_cast<NodeIndex>(i));
  }
  for (std::size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(cache.find(ids[i]), static_cast<NodeIndex>(i)) << ids[i];
  for (std::string missing : {std::string(15, 'x'), std::string(18, 'x'), std::string("node-2z"), std::string("b")})
    EXPECT_FALSE(cache.find(missing)) << missing;
}

}  // namespace
}  // namespace tolva
