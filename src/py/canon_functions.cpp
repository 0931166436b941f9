// Functions that compute the canonical form of a PyGraph.
#include "canonize/cgraph.h"
#include "canonize/first_pass.h"
#include "canonize/node_order.h"
#include "py/args.h"
#include "py/errors.h"
#include "py/functions.h"
#include "py/py_cgraph.h"
#include "py/py_graph.h"

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

bool convert_rule(PyObject* value, const char* arg, std::string_view fallback, std::string& out) {
  std::optional<std::string> rule;
  if (!convert_optional_str(value, arg, rule)) return false;
  out = rule ? std::move(*rule) : std::string(fallback);
  return true;
}

bool convert_flag(PyObject* value, const char* arg, bool fallback, bool& out) {
  std::optional<bool> flag;
  if (!convert_optional_bool(value, arg, flag)) return false;
  out = flag.value_or(fallback);
  return true;
}

bool convert_common(ModuleState* state, PyObject* graph, PyObject* candidate_rule,
                    PyObject* branch_rule, PyObject* allow_hashes, CanonArguments& out) {
  out.graph = graph_argument(state, graph, "graph");
  return out.graph != nullptr &&
         convert_rule(candidate_rule, "candidate_rule", kDefaultCandidateRule, out.candidate_rule) &&
         convert_rule(branch_rule, "branch_rule", kDefaultBranchRule, out.branch_rule) &&
         convert_flag(allow_hashes, "allow_hashes", kDefaultAllowHashes, out.allow_hashes);
}

PyObject* str_list(const std::vector<std::string>& items) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = make_str(items[i]);
    if (item == nullptr || PyList_SetItem(list, static_cast<Py_ssize_t>(i), item) < 0) {
      Py_DECREF(list);
      return nullptr;
    }
  }
  return list;
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
        !convert_flag(bound[4], "compress", kDefaultCompress, a.compress) ||
        !convert_flag(bound[5], "compact", kDefaultCompact, a.compact))
      return nullptr;
    auto text = to_cgraph(*a.graph, a.candidate_rule, a.branch_rule, a.allow_hashes, a.compress, a.compact);
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
        !convert_flag(bound[4], "compact", kDefaultCompact, a.compact))
      return nullptr;
    auto order = canonical_node_order(*a.graph, a.candidate_rule, a.branch_rule, a.allow_hashes, a.compact);
    if (!order) return raise_tolva_error(order.error());
    return str_list(*order);
  });
}

}  // namespace tolva::py
