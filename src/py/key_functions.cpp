// The graph key of one graph and of a sequence of graphs (graph_key.h).
//
//   graph_key(g)                          -> "tolva1:(C:1, O:1)C"
//   graph_key_many([g0, g1], workers=2)   -> [graph_key(g0), graph_key(g1)]
#include "canonize/graph_key.h"
#include "py/args.h"
#include "py/batch_support.h"
#include "py/errors.h"
#include "py/functions.h"
#include "py/py_graph.h"
#include "py/signals.h"

namespace tolva::py {
namespace {

// compact, allow_hashes and whole_braces, each None or omitted for its default.
bool convert_key_options(PyObject* const* bound, KeyOptions& out) {
  KeyOptions defaults;
  return convert_bool_or(bound[0], "compact", defaults.compact, out.compact) &&
         convert_bool_or(bound[1], "allow_hashes", defaults.allow_hashes, out.allow_hashes) &&
         convert_bool_or(bound[2], "whole_braces", defaults.whole_braces, out.whole_braces);
}

}  // namespace

PyObject* graph_key(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graph", "compact", "allow_hashes", "whole_braces"};
    PyObject* bound[4];
    if (!bind_arguments("graph_key", args, kwargs, kNames, 1, bound)) return nullptr;
    const GraphWrap* graph = graph_argument(state_of(module), bound[0], "graph");
    KeyOptions options;
    if (graph == nullptr || !convert_key_options(bound + 1, options)) return nullptr;
    StopControl stop = signal_stop();
    CallControls controls{TraceSettings::watching(stop), &stop};
    auto key = tolva::graph_key(*graph, options, controls);
    if (!key) return raise_tolva_error(key.error());
    return make_str(*key);
  });
}

PyObject* graph_key_many(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graphs", "compact", "allow_hashes", "whole_braces", "workers",
                                             "on_error"};
    PyObject* bound[6];
    if (!bind_arguments("graph_key_many", args, kwargs, kNames, 1, bound)) return nullptr;
    GraphBatch batch;
    KeyOptions options;
    BatchMode mode;
    if (!batch.take(state_of(module), bound[0]) || !convert_key_options(bound + 1, options) ||
        !convert_workers(bound[4], mode.workers) || !convert_on_error(bound[5], mode.return_errors))
      return nullptr;
    return run_batch<std::string>(
        batch.graphs(), mode,
        [&options](const GraphWrap& graph, const CallControls& controls) {
          return tolva::graph_key(graph, options, controls);
        },
        [](const std::string& key) { return make_str(key); });
  });
}

}  // namespace tolva::py
