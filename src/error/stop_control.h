// StopControl: how a long computation learns that its caller wants it to stop
// (a signal arrived while Python waits, a batch is being cancelled).
//
// The computation reports its progress in units of work (about one node
// visited each); every kPollInterval units the control asks the caller's poll
// function. Once the poll has said "stop", every later check says so too, so
// the computation can unwind through its ordinary error paths and the driver
// at the top turns whatever came out into an Interrupted error. A default
// control never stops and never polls.
//
//   std::atomic<bool> cancelled{false};   // set by another thread
//   StopControl stop = StopControl::on_flag(cancelled);
//   for (...) {
//     if (stop.should_stop()) return interrupted_error();
//     ...
//   }
#pragma once

#include <atomic>
#include <cstdint>

namespace tolva {

class StopControl {
 public:
  // True asks the computation to stop. Called on the computation's thread.
  using Poll = bool (*)(void* context);

  // Work units between two polls: small enough that a poll comes every few
  // milliseconds at worst, large enough that polling costs nothing measurable.
  static constexpr std::int64_t kPollInterval = 1 << 12;

  StopControl() = default;
  StopControl(Poll poll, void* context) : poll_(poll), context_(context) {}

  // Stops once `flag` (set by another thread, which keeps it alive) is true.
  static StopControl on_flag(std::atomic<bool>& flag) {
    return StopControl(+[](void* context) { return static_cast<std::atomic<bool>*>(context)->load(); }, &flag);
  }

  // Counts `work` units done; true once the caller has asked to stop.
  bool should_stop(std::int64_t work = 1) {
    if (stopped_) return true;
    budget_ -= work;
    if (budget_ > 0) return false;
    budget_ = kPollInterval;
    if (poll_ != nullptr) {
      ++polls_;
      stopped_ = poll_(context_);
    }
    return stopped_;
  }

  // Asks the caller right away, e.g. after a system call was interrupted by a
  // signal whose handler the caller may want to run.
  bool poll_now() {
    budget_ = 0;
    return should_stop(0);
  }

  // True once a poll has said "stop"; never polls.
  bool stopped() const { return stopped_; }

  // How many times the poll function has been called. The poll is the only
  // place where the caller's code runs during the computation (a Python
  // signal handler, say), so whatever that code may change, such as the
  // process environment, stays as it is while this count does.
  std::uint64_t polls() const { return polls_; }

 private:
  Poll poll_ = nullptr;
  void* context_ = nullptr;
  std::int64_t budget_ = kPollInterval;
  std::uint64_t polls_ = 0;
  bool stopped_ = false;
};

}  // namespace tolva
