// Functions that compute the canonical form of a PyGraph.
#include "canonize/cgraph.h"
#include "canonize/first_pass.h"
#include "canonize/node_order.h"
#include "py/args.h"
#include "py/errors.h"
#include "py/functions.h"
#include "py/py_cgraph.h"
#include "py/py_graph.h"
#include "py/signals.h"

namespace tolva::py {
namespace {

// The options shared by both functions, None already replaced by its default.
struct CanonArguments {
  const GraphWrap* graph = nullptr;
  std::string candidate_rule;
  std::string branch_rule;
  bool allow_hashes = kDefaultAllowHashes;
  bool compress = kDefaultCompress;
  bool compact = kDefaultCompact;
};

bool convert_common(ModuleState* state, PyObject* graph, PyObject* candidate_rule,
                    PyObject* branch_rule, PyObject* allow_hashes, CanonArguments& out) {
  out.graph = graph_argument(state, graph, "graph");
  return out.graph != nullptr &&
         convert_str_or(candidate_rule, "candidate_rule", kDefaultCandidateRule, out.candidate_rule) &&
         convert_str_or(branch_rule, "branch_rule", kDefaultBranchRule, out.branch_rule) &&
         convert_bool_or(allow_hashes, "allow_hashes", kDefaultAllowHashes, out.allow_hashes);
}

}  // namespace

PyObject* to_cgraph_py(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graph",        "candidate_rule", "branch_rule",
                                             "allow_hashes", "compress",       "compact"};
    PyObject* bound[6];
    if (!bind_arguments("to_cgraph_py", args, kwargs, kNames, 6, bound)) return nullptr;
    ModuleState* state = state_of(module);
    CanonArguments a;
    if (!convert_common(state, bound[0], bound[1], bound[2], bound[3], a) ||
        !convert_bool_or(bound[4], "compress", kDefaultCompress, a.compress) ||
        !convert_bool_or(bound[5], "compact", kDefaultCompact, a.compact))
      return nullptr;
    StopControl stop = signal_stop();
    CallControls controls{TraceSettings::watching(stop), &stop};
    auto text = to_cgraph(*a.graph, a.candidate_rule, a.branch_rule, a.allow_hashes, a.compress, a.compact,
                          controls);
    if (!text) return raise_tolva_error(text.error());
    return wrap_cgraph(state, std::move(*text));
  });
}

PyObject* canonical_node_order_py(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graph", "candidate_rule", "branch_rule", "allow_hashes",
                                             "compact"};
    PyObject* bound[5];
    if (!bind_arguments("canonical_node_order_py", args, kwargs, kNames, 1, bound)) return nullptr;
    CanonArguments a;
    if (!convert_common(state_of(module), bound[0], bound[1], bound[2], bound[3], a) ||
        !convert_bool_or(bound[4], "compact", kDefaultCompact, a.compact))
      return nullptr;
    StopControl stop = signal_stop();
    CallControls controls{TraceSettings::watching(stop), &stop};
    auto order = canonical_node_order(*a.graph, a.candidate_rule, a.branch_rule, a.allow_hashes,
                                      a.compact, controls);
    if (!order) return raise_tolva_error(order.error());
    return make_str_list(*order);
  });
}

}  // namespace tolva::py
