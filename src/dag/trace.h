// The trace: one line on standard output per decision of the DAG rewrite.
//
// Tracing is on only while the environment variable TOLVA_TRACE is exactly
// "1"; it is read afresh for every record, so a process can switch it between
// calls. A record is written as
//   TRACE <event> <key>=<json> <key>=<json> ...
// with the fields sorted by key (bytewise, stable), as one write() of the whole
// line to file descriptor 1, bypassing any buffering of the host language. A
// failed or short write is ignored: the trace never changes a result.
//
//   emit("dag_counts", {{"nodes", JsonValue(std::uint64_t{4})}, ...});
//   // TRACE dag_counts edges=3 mirrors=0 nodes=4 virtuals=0
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dag/json_value.h"
#include "graph/graph_wrap.h"

namespace tolva {

using TraceFields = std::vector<std::pair<std::string, JsonValue>>;

// True when TOLVA_TRACE is set to exactly "1".
bool trace_enabled();

// True when the environment variable `name` is set to exactly "1".
bool env_switch_on(const char* name);

// The line for a record, without the final line feed.
std::string format_trace_line(std::string_view event, TraceFields fields);

// Writes the record when tracing is on; the fields are consumed either way.
void emit(std::string_view event, TraceFields fields);

// Emits "dag_counts": live edges, mirrors, live nodes and virtual leaves.
void emit_counts(const GraphWrap& graph);

}  // namespace tolva
