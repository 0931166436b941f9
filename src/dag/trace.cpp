#include "dag/trace.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tolva {
namespace {

// File descriptor 1 is one resource of the whole process, shared by every
// call on every thread, so the lock that keeps its lines whole is too.
std::mutex& stdout_lock() {
  static std::mutex lock;
  return lock;
}

// Writes all of `text` to fd 1, retrying interrupted and short writes; gives
// up silently on any other failure. The caller holds the stdout lock.
void write_stdout(std::string_view text) {
  while (!text.empty()) {
    ssize_t written = ::write(STDOUT_FILENO, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

StdoutTrace& shared_stdout_trace() {
  // Stateless, so one object serves every call.
  static StdoutTrace output;
  return output;
}

}  // namespace

void StdoutTrace::write_line(std::string_view line) {
  std::lock_guard<std::mutex> hold(stdout_lock());
  write_stdout(line);
}

void GraphTraceBuffer::write_line(std::string_view line) {
  if (streaming_.owns_lock()) {
    write_stdout(line);
    return;
  }
  pending_ += line;
  if (pending_.size() < kHeldBytes) return;
  streaming_ = std::unique_lock<std::mutex>(stdout_lock());
  write_stdout(pending_);
  pending_ = std::string();
}

void GraphTraceBuffer::finish() {
  if (!pending_.empty()) {
    if (!streaming_.owns_lock()) streaming_ = std::unique_lock<std::mutex>(stdout_lock());
    write_stdout(pending_);
    pending_ = std::string();
  }
  if (streaming_.owns_lock()) streaming_.unlock();
}

bool env_switch_on(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

TraceSettings TraceSettings::from_environment() {
  return TraceSettings(true, false, false, &shared_stdout_trace());
}

TraceSettings TraceSettings::fixed(bool trace, bool magnet, TraceOutput& output) {
  return TraceSettings(false, trace, trace && magnet, &output);
}

TraceSettings TraceSettings::snapshot_of_environment(TraceOutput& output) {
  return fixed(env_switch_on("TOLVA_TRACE"), env_switch_on("TOLVA_TRACE_MAGNET"), output);
}

TraceSettings TraceSettings::watching(const StopControl& stop) {
  return TraceSettings(true, false, false, &shared_stdout_trace(), &stop);
}

void TraceSettings::refresh() const {
  if (read_at_poll_ == watched_->polls()) return;
  trace_ = env_switch_on("TOLVA_TRACE");
  magnet_ = trace_ && env_switch_on("TOLVA_TRACE_MAGNET");
  read_at_poll_ = watched_->polls();
}

bool TraceSettings::trace_on() const {
  if (!live_) return trace_;
  if (watched_ == nullptr) return env_switch_on("TOLVA_TRACE");
  refresh();
  return trace_;
}

bool TraceSettings::magnet_on() const {
  if (!live_) return magnet_;
  if (watched_ == nullptr) return env_switch_on("TOLVA_TRACE_MAGNET") && env_switch_on("TOLVA_TRACE");
  refresh();
  return magnet_;
}

std::string format_trace_line(std::string_view event, TraceFields fields) {
  std::stable_sort(fields.begin(), fields.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string line = "TRACE ";
  line += event;
  for (const auto& [key, value] : fields) {
    line += ' ';
    line += key;
    line += '=';
    line += to_json(value);
  }
  return line;
}

void emit(const TraceSettings& trace, std::string_view event, TraceFields fields) {
  if (!trace.trace_on()) return;
  std::string line = format_trace_line(event, std::move(fields));
  line += '\n';
  trace.output().write_line(line);
}

void emit_counts(const TraceSettings& trace, const GraphWrap& graph) {
  if (!trace.trace_on()) return;
  std::uint64_t mirrors = 0, virtuals = 0;
  graph.for_each_node([&](NodeIndex node) {
    mirrors += graph.is_mirror(node) ? 1 : 0;
    virtuals += graph.is_virtual(node) ? 1 : 0;
  });
  emit(trace, "dag_counts", {{"edges", JsonValue(graph.edge_count())},
                             {"mirrors", JsonValue(mirrors)},
                             {"nodes", JsonValue(graph.node_count())},
                             {"virtuals", JsonValue(virtuals)}});
}

}  // namespace tolva
