// The batch functions: to_cgraph_many and canonical_node_order_many give, for
// a sequence of PyGraph, exactly what to_cgraph_py and canonical_node_order_py
// give one graph at a time, computed on a pool of native threads with the
// interpreter lock released.
// How the graphs are taken, run, and their failures reported: batch_support.h.
//
//   to_cgraph_many([g0, g1], workers=2)  ->  [to_cgraph_py(g0, ...), to_cgraph_py(g1, ...)]
#include <string>
#include <vector>

#include "canonize/cgraph.h"
#include "canonize/first_pass.h"
#include "canonize/node_order.h"
#include "py/args.h"
#include "py/batch_support.h"
#include "py/functions.h"
#include "py/py_cgraph.h"

namespace tolva::py {
namespace {

// The options of both functions, None already replaced by its default.
struct BatchOptions {
  std::string candidate_rule{kDefaultCandidateRule};
  std::string branch_rule{kDefaultBranchRule};
  bool allow_hashes = kDefaultAllowHashes;
  bool compress = kDefaultCompress;
  bool compact = kDefaultCompact;
  BatchMode mode;
};

}  // namespace

PyObject* to_cgraph_many(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graphs",  "candidate_rule", "branch_rule", "allow_hashes",
                                             "compress", "compact",       "workers",     "on_error"};
    PyObject* bound[8];
    if (!bind_arguments("to_cgraph_many", args, kwargs, kNames, 1, bound)) return nullptr;
    ModuleState* state = state_of(module);
    GraphBatch batch;
    BatchOptions o;
    if (!batch.take(state, bound[0]) || !convert_str_or(bound[1], "candidate_rule", kDefaultCandidateRule, o.candidate_rule) ||
        !convert_str_or(bound[2], "branch_rule", kDefaultBranchRule, o.branch_rule) ||
        !convert_bool_or(bound[3], "allow_hashes", kDefaultAllowHashes, o.allow_hashes) ||
        !convert_bool_or(bound[4], "compress", kDefaultCompress, o.compress) ||
        !convert_bool_or(bound[5], "compact", kDefaultCompact, o.compact) || !convert_workers(bound[6], o.mode.workers) ||
        !convert_on_error(bound[7], o.mode.return_errors))
      return nullptr;
    return run_batch<std::string>(
        batch.graphs(), o.mode,
        [&o](const GraphWrap& graph, const CallControls& controls) {
          return to_cgraph(graph, o.candidate_rule, o.branch_rule, o.allow_hashes, o.compress,
                           o.compact, controls);
        },
        [state](std::string text) { return wrap_cgraph(state, std::move(text)); });
  });
}

PyObject* canonical_node_order_many(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graphs",  "candidate_rule", "branch_rule", "allow_hashes",
                                             "compact", "workers",        "on_error"};
    PyObject* bound[7];
    if (!bind_arguments("canonical_node_order_many", args, kwargs, kNames, 1, bound))
      return nullptr;
    GraphBatch batch;
    BatchOptions o;
    if (!batch.take(state_of(module), bound[0]) ||
        !convert_str_or(bound[1], "candidate_rule", kDefaultCandidateRule, o.candidate_rule) ||
        !convert_str_or(bound[2], "branch_rule", kDefaultBranchRule, o.branch_rule) ||
        !convert_bool_or(bound[3], "allow_hashes", kDefaultAllowHashes, o.allow_hashes) ||
        !convert_bool_or(bound[4], "compact", kDefaultCompact, o.compact) || !convert_workers(bound[5], o.mode.workers) ||
        !convert_on_error(bound[6], o.mode.return_errors))
      return nullptr;
    return run_batch<std::vector<std::string>>(
        batch.graphs(), o.mode,
        [&o](const GraphWrap& graph, const CallControls& controls) {
          return canonical_node_order(graph, o.candidate_rule, o.branch_rule, o.allow_hashes,
                                      o.compact, controls);
        },
        [](const std::vector<std::string>& order) { return make_str_list(order); });
  });
}

}  // namespace tolva::py
