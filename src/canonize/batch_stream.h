// Runs batches of tasks, one batch after another, on native threads that live
// as long as the stream: the threads go from the end of one batch straight to
// the next, so that a caller who prepares the next batch (reads it) and hands
// on the last one (writes it) while a batch runs never leaves them idle.
//
// add(count) queues a batch of `count` tasks and returns its number (0, 1,
// ...). The tasks of all batches are taken in order, batch by batch, index by
// index, by `workers` threads; task(batch, index, stop, scratch) is called
// once for each. Each thread owns the StopControl and the RewriteScratch it
// hands its tasks, one task after another. wait_for(batch, slice) waits up to
// one slice for every task of a batch to end; a caller watching for signals
// waits in slices. cancel() (and the destructor) asks every running task to
// stop through its StopControl, starts no further task, and joins the
// threads; a batch that did not end is then left incomplete.
//
// A task must not throw: an exception that escapes one is dropped and the
// task counts as ended, so the stream never hangs on it. Nothing is shared
// between tasks but what the caller shares; a batch's data must outlive its
// tasks, which wait_for(batch) returning true (or cancel()) guarantees.
//
//   BatchStream stream(2, [&](std::size_t batch, std::size_t i, StopControl& stop, RewriteScratch& s) {
//     outputs[batch][i] = compute(lines[batch][i], stop, s);
//   });
//   std::size_t first = stream.add(lines[0].size());
//   std::size_t second = stream.add(lines[1].size());   // runs as soon as threads are free
//   while (!stream.wait_for(first, std::chrono::milliseconds(50))) check_signals();
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "dag/rewrite_context.h"
#include "error/stop_control.h"

namespace tolva {

class BatchStream {
 public:
  using Task = std::function<void(std::size_t batch, std::size_t index, StopControl&, RewriteScratch&)>;

  // Starts max(workers, 1) threads (as many as the system gives); if it
  // refuses every thread, add() runs each batch on the calling thread.
  BatchStream(unsigned workers, Task task);
  BatchStream(const BatchStream&) = delete;
  BatchStream& operator=(const BatchStream&) = delete;
  ~BatchStream();

  std::size_t add(std::size_t count);
  bool wait_for(std::size_t batch, std::chrono::milliseconds slice);
  void cancel();

 private:
  struct Batch {
    std::size_t number = 0;
    std::size_t count = 0;
    std::size_t next = 0;     // the next index to start
    std::size_t running = 0;  // started and not yet ended
  };

  void work() noexcept;
  void run_task(std::size_t batch, std::size_t index, StopControl& stop, std::optional<RewriteScratch>& scratch) noexcept;
  bool ended(std::size_t batch) const;  // with lock_ held

  Task task_;
  std::mutex lock_;
  std::condition_variable work_ready_;
  std::condition_variable batch_ended_;
  std::deque<Batch> batches_;  // not yet ended, in order
  std::size_t added_ = 0;
  bool stopping_ = false;
  std::atomic<bool> cancelled_{false};
  std::vector<std::jthread> threads_;
};

}  // namespace tolva
