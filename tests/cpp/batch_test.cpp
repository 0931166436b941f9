#include "canonize/batch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tolva {
namespace {

class RunIndexedWorkers : public ::testing::TestWithParam<unsigned> {};

TEST_P(RunIndexedWorkers, RunsEveryIndexExactlyOnce) {
  std::vector<std::atomic<int>> calls(1000);
  auto failure = run_indexed(calls.size(), GetParam(), [&](std::size_t i) {
    calls[i].fetch_add(1);
    return true;
  });
  EXPECT_FALSE(failure.has_value());
  for (std::size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].load(), 1) << "index " << i;
}

TEST_P(RunIndexedWorkers, ReportsTheLowestFailureAndRunsEverythingBelowIt) {
  std::vector<std::atomic<int>> calls(500);
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

INSTANTIATE_TEST_SUITE_P(Workers, RunIndexedWorkers, ::testing::Values(1u, 2u, 3u, 8u));

TEST(RunIndexed, NoIndicesMeansNoCalls) {
  bool called = false;
  auto failure = run_indexed(0, 4, [&](std::size_t) { return called = true; });
  EXPECT_FALSE(failure.has_value());
  EXPECT_FALSE(called);
}

TEST(RunIndexed, ZeroWorkersStillRunsOnTheCallingThread) {
  std::thread::id caller = std::this_thread::get_id();
  std::set<std::thread::id> seen;
  run_indexed(5, 0, [&](std::size_t) {
    seen.insert(std::this_thread::get_id());
    return true;
  });
  EXPECT_EQ(seen, std::set<std::thread::id>{caller});
}

// Each task waits until all four have started: only four concurrent threads
// can get past the wait before the deadline.
TEST(RunIndexed, SpreadsTheWorkOverTheRequestedThreads) {
  constexpr std::size_t kThreads = 4;
  std::atomic<std::size_t> arrived{0};
  std::mutex lock;
  std::set<std::thread::id> seen;
  bool all_met = true;
  run_indexed(kThreads, kThreads, [&](std::size_t) {
    arrived.fetch_add(1);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (arrived.load() < kThreads && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    std::lock_guard guard(lock);
    all_met = all_met && arrived.load() == kThreads;
    seen.insert(std::this_thread::get_id());
    return true;
  });
  EXPECT_TRUE(all_met);
  EXPECT_EQ(seen.size(), kThreads);
}

}  // namespace
}  // namespace tolva
