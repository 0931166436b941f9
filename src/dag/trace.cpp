#include "dag/trace.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tolva {
namespace {

// Writes all of `line` to fd 1, retrying interrupted and short writes; gives
// up silently on any other failure.
void write_stdout(std::string_view line) {
  while (!line.empty()) {
    ssize_t written = ::write(STDOUT_FILENO, line.data(), line.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    line.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

bool env_switch_on(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

bool trace_enabled() { return env_switch_on("TOLVA_TRACE"); }

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

void emit(std::string_view event, TraceFields fields) {
  if (!trace_enabled()) return;
  std::string line = format_trace_line(event, std::move(fields));
  line += '\n';
  write_stdout(line);
}

void emit_counts(const GraphWrap& graph) {
  if (!trace_enabled()) return;
  std::uint64_t mirrors = 0, virtuals = 0;
  graph.for_each_node([&](NodeIndex, const NodeData& node) {
    mirrors += node.meta.is_mirror ? 1 : 0;
    virtuals += node.meta.is_virtual ? 1 : 0;
  });
  emit("dag_counts", {{"edges", JsonValue(graph.edge_count())},
                      {"mirrors", JsonValue(mirrors)},
                      {"nodes", JsonValue(graph.node_count())},
                      {"virtuals", JsonValue(virtuals)}});
}

}  // namespace tolva
