#include "canonize/batch_stream.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "error/exception_state.h"

namespace tolva {

BatchStream::BatchStream(unsigned workers, Task task) : task_(std::move(task)) {
  unsigned wanted = std::max(workers, 1u);
  threads_.reserve(wanted);
  for (unsigned t = 0; t < wanted; ++t) {
    try {
      threads_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the running ones take every task
    }
  }
}

BatchStream::~BatchStream() { cancel(); }

std::size_t BatchStream::add(std::size_t count) {
  std::size_t number;
  {
    std::lock_guard<std::mutex> hold(lock_);
    number = added_++;
    if (count == 0 || stopping_) return number;
    if (!threads_.empty()) batches_.push_back(Batch{number, count, 0, 0});
  }
  if (!threads_.empty()) {
    work_ready_.notify_all();
    return number;
  }
  // No thread could be started: the caller runs the batch itself.
  StopControl stop = StopControl::on_flag(cancelled_);
  std::optional<RewriteScratch> scratch;
  for (std::size_t i = 0; i < count && !cancelled_.load(); ++i) run_task(number, i, stop, scratch);
  return number;
}

bool BatchStream::ended(std::size_t batch) const {
  return batch < added_ && (batches_.empty() || batches_.front().number > batch);
}

bool BatchStream::wait_for(std::size_t batch, std::chrono::milliseconds slice) {
  std::unique_lock<std::mutex> hold(lock_);
  return batch_ended_.wait_for(hold, slice, [&] { return ended(batch) || stopping_; }) && ended(batch);
}

void BatchStream::cancel() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  cancelled_.store(true);
  work_ready_.notify_all();
  batch_ended_.notify_all();
  threads_.clear();  // joins
}

void BatchStream::run_task(std::size_t batch, std::size_t index, StopControl& stop,
                           std::optional<RewriteScratch>& scratch) noexcept {
  try {
    if (!scratch) scratch.emplace();
    task_(batch, index, stop, *scratch);
  } catch (...) {
    // A task that throws has ended all the same.
  }
}

void BatchStream::work() noexcept {
  prepare_exception_state();
  StopControl stop = StopControl::on_flag(cancelled_);
  std::optional<RewriteScratch> scratch;  // made by the first task, inside its guard
  std::unique_lock<std::mutex> hold(lock_);
  while (true) {
    work_ready_.wait(hold, [&] {
      return stopping_ || std::any_of(batches_.begin(), batches_.end(),
                                      [](const Batch& b) { return b.next < b.count; });
    });
    if (stopping_) return;
    auto open = std::find_if(batches_.begin(), batches_.end(), [](const Batch& b) { return b.next < b.count; });
    std::size_t number = open->number;
    std::size_t index = open->next++;
    ++open->running;
    hold.unlock();
    run_task(number, index, stop, scratch);
    hold.lock();
    // The batch is still queued: it leaves only when its last task has ended.
    auto mine = std::find_if(batches_.begin(), batches_.end(), [&](const Batch& b) { return b.number == number; });
    --mine->running;
    bool batch_done = false;
    while (!batches_.empty() && batches_.front().next == batches_.front().count && batches_.front().running == 0) {
      batches_.pop_front();
      batch_done = true;
    }
    if (batch_done) batch_ended_.notify_all();
  }
}

}  // namespace tolva
