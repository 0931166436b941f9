#include "canonize/batch.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "error/exception_state.h"

namespace tolva {
namespace {

// The work shared by the threads of one run.
class SharedWork {
 public:
  SharedWork(std::size_t count, const BatchRunOptions& options,
             const std::function<bool(std::size_t, StopControl&, RewriteScratch&)>& task)
      : count_(count), options_(options), task_(task) {}

  // One thread's loop. Its indices ascend, so its first failure is its lowest.
  void work(std::vector<TaskFailure>& failures) noexcept {
    prepare_exception_state();
    StopControl stop = StopControl::on_flag(cancelled_);
    std::optional<RewriteScratch> scratch;  // made by the first task, inside its guard
    while (!halted()) {
      std::size_t index = next_.fetch_add(1, std::memory_order_relaxed);
      if (index >= count_) break;
      if (!run_one(index, stop, scratch, failures) && options_.stop_at_first_failure) {
        failed_.store(true, std::memory_order_relaxed);
        break;
      }
    }
    finish_thread();
  }

  void cancel() { cancelled_.store(true); }

  // Waits up to one slice for every worker to end; true when they all have.
  bool wait_for_workers(std::size_t threads) {
    std::unique_lock<std::mutex> hold(lock_);
    return done_.wait_for(hold, options_.wait_slice, [&] { return finished_ == threads; });
  }

 private:
  bool halted() const {
    return cancelled_.load(std::memory_order_relaxed) || failed_.load(std::memory_order_relaxed);
  }

  bool run_one(std::size_t index, StopControl& stop, std::optional<RewriteScratch>& scratch,
               std::vector<TaskFailure>& failures) noexcept {
    bool ok = false;
    std::exception_ptr thrown;
    try {
      if (!scratch) scratch.emplace();
      ok = task_(index, stop, *scratch);
    } catch (...) {
      thrown = std::current_exception();
    }
    if (!ok) {
      try {
        failures.push_back(TaskFailure{index, thrown});
      } catch (...) {
        // No memory to note the failure: stop the batch rather than lose it.
        cancelled_.store(true);
      }
    }
    return ok;
  }

  void finish_thread() {
    std::lock_guard<std::mutex> hold(lock_);
    ++finished_;
    done_.notify_all();
  }

  std::size_t count_;
  const BatchRunOptions& options_;
  const std::function<bool(std::size_t, StopControl&, RewriteScratch&)>& task_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> failed_{false};
  std::atomic<bool> cancelled_{false};
  std::mutex lock_;
  std::condition_variable done_;
  std::size_t finished_ = 0;
};

// Failures of all threads, in ascending index order; only the lowest when the
// batch stops at its first failure.
std::vector<TaskFailure> merged(std::vector<std::vector<TaskFailure>>& per_thread, bool first_only) {
  std::vector<TaskFailure> all;
  for (auto& failures : per_thread) all.insert(all.end(), failures.begin(), failures.end());
  std::sort(all.begin(), all.end(), [](const TaskFailure& a, const TaskFailure& b) { return a.index < b.index; });
  if (first_only && all.size() > 1) all.resize(1);
  return all;
}

}  // namespace

unsigned default_worker_count() {
  cpu_set_t allowed;
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    int count = CPU_COUNT(&allowed);
    if (count > 0) return static_cast<unsigned>(count);
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

BatchRun run_indexed(std::size_t count, const BatchRunOptions& options,
                     const std::function<bool(std::size_t, StopControl&, RewriteScratch&)>& task,
                     const std::function<bool()>& wait) {
  std::size_t thread_count =
      std::clamp<std::size_t>(options.workers, 1, std::max<std::size_t>(count, 1));
  SharedWork shared(count, options, task);
  std::vector<std::vector<TaskFailure>> failures(thread_count);
  BatchRun run;
  {
    std::vector<std::jthread> threads;
    threads.reserve(thread_count);
    for (std::size_t t = 0; t < thread_count; ++t) {
      try {
        threads.emplace_back([&shared, &failures, t] { shared.work(failures[t]); });
      } catch (const std::system_error&) {
        break;  // no more threads to be had: the running ones take the rest
      }
    }
    if (threads.empty()) {
      shared.work(failures[0]);
    } else {
      while (!shared.wait_for_workers(threads.size())) {
        if (!run.cancelled && wait()) {
          run.cancelled = true;
          shared.cancel();
        }
      }
    }
  }  // the jthreads join here
  run.failures = merged(failures, options.stop_at_first_failure);
  return run;
}

}  // namespace tolva
