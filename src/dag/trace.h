// The trace: one line on standard output per decision of the DAG rewrite.
//
// A record is written as
//   TRACE <event> <key>=<json> <key>=<json> ...
// with the fields sorted by key (bytewise, stable). Tracing is on while the
// switch TOLVA_TRACE is exactly "1" (TOLVA_TRACE_MAGNET, also "1", adds the
// magnet records). A single call reads the switches from the environment at
// every record, so a process can switch them between calls; a batch reads
// them once on the calling thread (TraceSettings::fixed), because its worker
// threads must never read an environment that Python may be changing.
// A single call that polls for signals reads them again only after a poll:
// nothing but the caller's code, which runs only inside a poll, can change
// the environment of a computation that holds the interpreter lock, so every
// record sees the switches as they are (TraceSettings::watching).
//
// Lines go to file descriptor 1, bypassing any buffering of the host
// language, each whole under one process-wide lock, so lines written by
// several threads never tear. A batch worker collects the lines of one graph
// (GraphTraceBuffer) and writes them together when the graph is done. A
// failed or short write is ignored: the trace never changes a result.
//
//   TraceSettings trace = TraceSettings::from_environment();
//   emit(trace, "dag_counts", {{"nodes", JsonValue(std::uint64_t{4})}, ...});
//   // TRACE dag_counts edges=3 mirrors=0 nodes=4 virtuals=0
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dag/json_value.h"
#include "error/stop_control.h"
#include "graph/graph_wrap.h"

namespace tolva {

using TraceFields = std::vector<std::pair<std::string, JsonValue>>;

// Where finished trace lines (each ending in a line feed) go.
class TraceOutput {
 public:
  virtual ~TraceOutput() = default;
  virtual void write_line(std::string_view line) = 0;
};

// Writes each line at once to file descriptor 1, whole, under the process lock.
class StdoutTrace final : public TraceOutput {
 public:
  void write_line(std::string_view line) override;
};

// Keeps one graph's lines and writes them together (finish(), or the
// destructor). Past a small buffer it takes the process lock early and writes
// straight through, so a huge trace is never held in memory and still no
// other graph's line comes between.
class GraphTraceBuffer final : public TraceOutput {
 public:
  GraphTraceBuffer() = default;
  GraphTraceBuffer(const GraphTraceBuffer&) = delete;
  GraphTraceBuffer& operator=(const GraphTraceBuffer&) = delete;
  ~GraphTraceBuffer() override { finish(); }

  void write_line(std::string_view line) override;
  void finish();

 private:
  static constexpr std::size_t kHeldBytes = 1 << 20;
  std::string pending_;
  std::unique_lock<std::mutex> streaming_;
};

// The two switches of one call, and where its lines go.
class TraceSettings {
 public:
  // Reads TOLVA_TRACE / TOLVA_TRACE_MAGNET at every use; lines to stdout.
  static TraceSettings from_environment();
  // Like from_environment, but reads the environment again only when `stop`
  // has polled since the last reading, for a call during which the
  // environment can change only inside a poll. `stop` must outlive it.
  static TraceSettings watching(const StopControl& stop);
  // Switches read once by the caller (TOLVA_TRACE_MAGNET only counts with TOLVA_TRACE).
  static TraceSettings fixed(bool trace, bool magnet, TraceOutput& output);
  // The switches as they are in the environment right now.
  static TraceSettings snapshot_of_environment(TraceOutput& output);

  bool trace_on() const;
  bool magnet_on() const;
  TraceOutput& output() const { return *output_; }

 private:
  TraceSettings(bool live, bool trace, bool magnet, TraceOutput* output, const StopControl* watched = nullptr)
      : live_(live), trace_(trace), magnet_(magnet), output_(output), watched_(watched) {}
  // Live and watching: reads both switches unless read since the last poll.
  void refresh() const;

  bool live_;
  // Fixed settings: the switches. Watching ones: the switches as last read.
  mutable bool trace_;
  mutable bool magnet_;
  TraceOutput* output_;
  const StopControl* watched_;
  // The poll count of `watched_` at the last reading; kNeverRead before it.
  static constexpr std::uint64_t kNeverRead = ~std::uint64_t{0};
  mutable std::uint64_t read_at_poll_ = kNeverRead;
};

// True when the environment variable `name` is set to exactly "1".
bool env_switch_on(const char* name);

// The line for a record, without the final line feed.
std::string format_trace_line(std::string_view event, TraceFields fields);

// Writes the record when tracing is on; the fields are consumed either way.
void emit(const TraceSettings& trace, std::string_view event, TraceFields fields);

// Emits "dag_counts": live edges, mirrors, live nodes and virtual leaves.
void emit_counts(const TraceSettings& trace, const GraphWrap& graph);

}  // namespace tolva
