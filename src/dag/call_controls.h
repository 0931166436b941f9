// CallControls: what a caller lends one canonisation call besides its
// arguments: how the call traces, and how it learns that it should stop.
//
// A single call from Python traces by the environment as it is at each
// record (read again after each poll, the only time it can change) and polls
// for pending signals; a batch worker gets the switches its
// batch read once and polls the batch's cancel flag. Tests and tools use the
// defaults: the environment, standard output, never stop.
//
// A batch worker also lends its calls, one after another, the working storage
// of their rewrites and walks (RewriteScratch): a small graph's call then
// allocates next to nothing, and the digests of magnets seen in earlier graphs
// are remembered. Storage that a large graph made large is let go after its
// call, so it adds to no later call's peak.
//
//   StopControl stop(poll_signals, nullptr);
//   CallControls controls{TraceSettings::watching(stop), &stop};
//   auto text = to_cgraph(graph, "$degree", kDefaultBranchRule, true, true, false, controls);
#pragma once

#include "dag/trace.h"
#include "error/stop_control.h"

namespace tolva {

class RewriteScratch;

struct CallControls {
  TraceSettings trace = TraceSettings::from_environment();
  StopControl* stop = nullptr;
  // Storage lent to the call and taken back after it; null: the call makes its own.
  RewriteScratch* lent_scratch = nullptr;

  // Counts `work` units done; true once the caller has asked to stop.
  bool should_stop(std::int64_t work = 1) const { return stop != nullptr && stop->should_stop(work); }
  bool stopped() const { return stop != nullptr && stop->stopped(); }
};

}  // namespace tolva
