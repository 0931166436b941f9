// Runs one task per index on a small pool of native threads, for batch calls
// that canonise many graphs at once.
//
// run_indexed(count, workers, task) calls task(i) for the indices 0..count-1,
// which the threads take in ascending order from one shared atomic counter;
// the calling thread is one of the `workers` threads. A task fails by
// returning false or by throwing; an exception is caught on its own thread and
// handed back, never rethrown. After a failure no new index is started, but
// every index below a failing one has already been taken and runs to its end,
// so the reported failure is the one a plain loop that stops at its first
// failure would meet. Tasks touch only their own slots, so nothing else is
// shared between threads.
//
//   std::vector<Result<std::string>> out(graphs.size());
//   auto failure = run_indexed(graphs.size(), 4, [&](std::size_t i) {
//     out[i] = to_cgraph(*graphs[i], "$degree", kDefaultBranchRule, true, true, false);
//     return out[i].has_value();
//   });
//   if (failure) report(failure->index, failure->exception);   // lowest failing index
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>

namespace tolva {

struct TaskFailure {
  std::size_t index = 0;
  std::exception_ptr exception;  // null when the task returned false
};

// The default number of threads: the hardware's concurrency, at least 1.
unsigned default_worker_count();

// Runs the tasks as described above on min(workers, count) threads (at least
// one). If the system refuses to start a thread, the threads already running
// share the work. Returns the failure with the lowest index, if any.
std::optional<TaskFailure> run_indexed(std::size_t count, unsigned workers,
                                       const std::function<bool(std::size_t)>& task);

}  // namespace tolva
