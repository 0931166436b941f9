#include "canonize/batch.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#include "error/exception_state.h"

namespace tolva {
namespace {

// The work shared by the threads of one run.
struct SharedWork {
  std::size_t count;
  const std::function<bool(std::size_t)>& task;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
};

// One thread's loop. Its indices ascend, so its first failure is its lowest.
void work(SharedWork& shared, std::optional<TaskFailure>& failure) noexcept {
  prepare_exception_state();
  while (!shared.stop.load(std::memory_order_relaxed)) {
    std::size_t index = shared.next.fetch_add(1, std::memory_order_relaxed);
    if (index >= shared.count) return;
    bool ok = false;
    std::exception_ptr thrown;
    try {
      ok = shared.task(index);
    } catch (...) {
      thrown = std::current_exception();
    }
    if (!ok) {
      failure = TaskFailure{index, thrown};
      shared.stop.store(true, std::memory_order_relaxed);
      return;
    }
  }
}

}  // namespace

unsigned default_worker_count() { return std::max(1u, std::thread::hardware_concurrency()); }

std::optional<TaskFailure> run_indexed(std::size_t count, unsigned workers,
                                       const std::function<bool(std::size_t)>& task) {
  std::size_t thread_count = std::clamp<std::size_t>(workers, 1, std::max<std::size_t>(count, 1));
  SharedWork shared{count, task};
  std::vector<std::optional<TaskFailure>> failures(thread_count);
  {
    std::vector<std::jthread> helpers;
    helpers.reserve(thread_count - 1);
    for (std::size_t t = 1; t < thread_count; ++t) {
      try {
        helpers.emplace_back([&shared, &failures, t] { work(shared, failures[t]); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the running ones take the rest
      }
    }
    work(shared, failures[0]);
  }  // the jthreads join here
  std::optional<TaskFailure> lowest;
  for (const std::optional<TaskFailure>& failure : failures)
    if (failure && (!lowest || failure->index < lowest->index)) lowest = failure;
  return lowest;
}

}  // namespace tolva
