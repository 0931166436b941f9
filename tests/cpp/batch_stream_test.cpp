#include "canonize/batch_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace tolva {
namespace {

using std::chrono::milliseconds;

// Runs every batch of `counts` through a stream of `workers` threads, adding
// each while the one before may still run, and checks after each wait that
// every task of that batch and of the batches before it ran exactly once.
void check_batches_end_in_order(unsigned workers, const std::vector<std::size_t>& counts) {
  std::vector<std::vector<std::atomic<int>>> runs;
  runs.reserve(counts.size());
  for (std::size_t count : counts) runs.emplace_back(count);
  BatchStream stream(workers, [&](std::size_t batch, std::size_t index, StopControl&, RewriteScratch&) {
    if (index % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    runs[batch][index].fetch_add(1);
  });
  std::vector<std::size_t> numbers;
  std::size_t waited = 0;
  for (std::size_t count : counts) {
    numbers.push_back(stream.add(count));
    if (numbers.size() - waited == 2) {
      while (!stream.wait_for(numbers[waited], milliseconds(50))) {
      }
      ++waited;
      for (std::size_t batch = 0; batch < waited; ++batch)
        for (const auto& run : runs[batch]) ASSERT_EQ(run.load(), 1) << "batch " << batch;
    }
  }
  for (; waited < numbers.size(); ++waited) {
    while (!stream.wait_for(numbers[waited], milliseconds(50))) {
    }
    for (const auto& run : runs[waited]) ASSERT_EQ(run.load(), 1) << "batch " << waited;
  }
  for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], i);
}

class BatchStreamWorkers : public ::testing::TestWithParam<unsigned> {};

TEST_P(BatchStreamWorkers, EveryTaskRunsOnceAndBatchesEndInOrder) {
  std::mt19937 random(GetParam());
  std::vector<std::size_t> counts;
  for (int i = 0; i < 40; ++i) counts.push_back(random() % 3 == 0 ? random() % 3 : random() % 200);
  check_batches_end_in_order(GetParam(), counts);
}

INSTANTIATE_TEST_SUITE_P(Threads, BatchStreamWorkers, ::testing::Values(1u, 2u, 3u, 8u));

TEST(BatchStream, AnEmptyBatchEndsOnlyAfterTheBatchesBeforeIt) {
  std::atomic<bool> release{false};
  BatchStream stream(2, [&](std::size_t, std::size_t, StopControl&, RewriteScratch&) {
    while (!release.load()) std::this_thread::sleep_for(milliseconds(1));
  });
  std::size_t slow = stream.add(1);
  std::size_t empty = stream.add(0);
  EXPECT_FALSE(stream.wait_for(empty, milliseconds(20)));
  release.store(true);
  EXPECT_TRUE(stream.wait_for(empty, milliseconds(5000)));
  EXPECT_TRUE(stream.wait_for(slow, milliseconds(0)));
}

TEST(BatchStream, CancelAsksRunningTasksToStopAndStartsNoOther) {
  std::atomic<int> started{0};
  std::atomic<int> stopped{0};
  {
    BatchStream stream(2, [&](std::size_t, std::size_t, StopControl& stop, RewriteScratch&) {
      started.fetch_add(1);
      while (!stop.should_stop(StopControl::kPollInterval)) std::this_thread::yield();
      stopped.fetch_add(1);
    });
    std::size_t batch = stream.add(1000);
    while (started.load() < 2) std::this_thread::yield();
    EXPECT_FALSE(stream.wait_for(batch, milliseconds(10)));
    stream.cancel();
    EXPECT_FALSE(stream.wait_for(batch, milliseconds(0)));
  }  // and the destructor after cancel() is harmless
  EXPECT_EQ(started.load(), 2);
  EXPECT_EQ(stopped.load(), 2);
}

TEST(BatchStream, TheDestructorStopsABatchStillRunning) {
  std::atomic<int> started{0};
  {
    BatchStream stream(3, [&](std::size_t, std::size_t, StopControl& stop, RewriteScratch&) {
      started.fetch_add(1);
      while (!stop.should_stop(StopControl::kPollInterval)) std::this_thread::yield();
    });
    stream.add(10);
    while (started.load() < 3) std::this_thread::yield();
  }
  EXPECT_EQ(started.load(), 3);
}

TEST(BatchStream, ATaskThatThrowsStillEndsItsBatch) {
  std::atomic<int> ran{0};
  BatchStream stream(2, [&](std::size_t, std::size_t index, StopControl&, RewriteScratch&) {
    ran.fetch_add(1);
    if (index % 2 == 0) throw std::runtime_error("task failed");
  });
  std::size_t batch = stream.add(10);
  EXPECT_TRUE(stream.wait_for(batch, milliseconds(5000)));
  EXPECT_EQ(ran.load(), 10);
}

}  // namespace
}  // namespace tolva
