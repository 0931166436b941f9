// Runs one task per index on a small pool of native threads, for batch calls
// that canonise many graphs at once.
//
// run_indexed(count, options, task, wait) calls task(i, stop, scratch) for the
// indices 0..count-1, which `options.workers` threads take in ascending order
// from one shared atomic counter. Each worker owns the StopControl and the
// RewriteScratch it hands its tasks, one task after another (a task lends the
// scratch to its call through CallControls::lent_scratch). The calling thread
// computes nothing: it waits for the workers in slices of `options.wait_slice`,
// calling `wait()` after each one, so a caller can watch for signals while its
// workers run. When `wait()` returns true the batch is cancelled: every running
// task is asked to stop through its StopControl, no new index is started, and
// the call returns once every worker has ended.
//
// A task fails by returning false or by throwing; an exception is caught on
// its own thread and handed back, never rethrown. With
// `options.stop_at_first_failure`, no new index is started after a failure,
// but every index below a failing one has already been taken and runs to its
// end, so the failure reported is the one a plain loop that stops at its first
// failure would meet. Otherwise every index runs and every failure is reported.
// Tasks touch only their own slots, so nothing else is shared between threads.
//
//   std::vector<Result<std::string>> out(graphs.size());
//   auto run = run_indexed(graphs.size(), BatchRunOptions{4},
//                          [&](std::size_t i, StopControl& stop, RewriteScratch& scratch) {
//     CallControls controls{trace_settings, &stop, &scratch};
//     out[i] = to_cgraph(*graphs[i], "$degree", kDefaultBranchRule, true, true, false, controls);
//     return out[i].has_value();
//   }, [] { return false; });
//   if (!run.failures.empty()) report(run.failures.front().index);   // lowest failing index
#pragma once

#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <vector>

#include "dag/rewrite_context.h"
#include "error/stop_control.h"

namespace tolva {

struct TaskFailure {
  std::size_t index = 0;
  std::exception_ptr exception;  // null when the task returned false
};

struct BatchRunOptions {
  unsigned workers = 1;
  bool stop_at_first_failure = true;
  std::chrono::milliseconds wait_slice{50};
};

struct BatchRun {
  // In ascending index order; at most one with stop_at_first_failure.
  std::vector<TaskFailure> failures;
  // wait() asked to stop; the results of the tasks are then incomplete.
  bool cancelled = false;
};

// The default number of threads: the processors this process may run on (its
// CPU affinity), at least 1.
unsigned default_worker_count();

// Runs the tasks as described above on min(workers, count) threads (at least
// one). If the system refuses to start a thread, the threads already running
// share the work; if it refuses every thread, the calling thread does it.
BatchRun run_indexed(std::size_t count, const BatchRunOptions& options,
                     const std::function<bool(std::size_t, StopControl&, RewriteScratch&)>& task,
                     const std::function<bool()>& wait);

}  // namespace tolva
