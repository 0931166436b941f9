#include "canonize/batch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace tolva {
namespace {

class RunIndexedWorkers : public ::testing::TestWithParam<unsigned> {};

// Every index runs once up to the lowest failure, which is the one reported.
TEST_P(RunIndexedWorkers, ReportsTheLowestFailureAndRunsEverythingBelowIt) {
  std::vector<std::atomic<int>> calls(500);
  auto all = run_indexed(calls.size(), GetParam(), [&](std::size_t i) { return calls[i].fetch_add(1) >= 0; });
  EXPECT_FALSE(all.has_value());
  for (std::size_t i = 0; i < calls.size(); ++i) ASSERT_EQ(calls[i].exchange(0), 1) << "index " << i;

  auto failure = run_indexed(calls.size(), GetParam(), [&](std::size_t i) {
    calls[i].fetch_add(1);
    return i != 37 && i != 38 && i != 400;
  });
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->index, 37u);
  EXPECT_EQ(failure->exception, nullptr);
  for (std::size_t i = 0; i <= 37; ++i) EXPECT_EQ(calls[i].load(), 1) << "index " << i;
}

TEST_P(RunIndexedWorkers, CatchesExceptionsOnTheirThread) {
  auto failure = run_indexed(100, GetParam(), [](std::size_t i) -> bool {
    if (i == 60) throw std::bad_alloc();
    if (i == 12) throw std::runtime_error("task 12");
    return true;
  });
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->index, 12u);
  ASSERT_NE(failure->exception, nullptr);
  EXPECT_THROW(std::rethrow_exception(failure->exception), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(Workers, RunIndexedWorkers, ::testing::Values(0u, 1u, 3u, 8u),
                         [](const auto& info) { return std::to_string(info.param) + "Workers"; });

}  // namespace
}  // namespace tolva
