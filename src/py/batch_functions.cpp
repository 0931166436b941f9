// The batch functions: to_cgraph_many and canonical_node_order_many give, for
// a sequence of PyGraph, exactly what to_cgraph_py and canonical_node_order_py
// give one graph at a time, computed on a pool of native threads with the
// interpreter lock released.
//
// Every argument is converted and every graph taken, with a reference held to
// its PyGraph, before the lock is released; the threads then see only C++
// data, and every core call copies its graph, so the graphs are only read.
// Results come back in input order. The failing graph of lowest position
// decides the exception: ValueError "graph <i>: <display text>" for a library
// error, the usual mapping of `guarded` (MemoryError, InternalError) for a C++
// exception, which is caught on its worker thread and rethrown here. With
// TOLVA_TRACE=1 the trace lines of graphs computed side by side interleave;
// workers=1 keeps each graph's lines together.
//
//   to_cgraph_many([g0, g1], workers=2)  ->  [to_cgraph_py(g0, ...), to_cgraph_py(g1, ...)]
#include <climits>
#include <string>
#include <vector>

#include "canonize/batch.h"
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

// The items of the `graphs` argument, each kept alive by a held reference
// until the batch is done, and the graphs inside them.
class GraphBatch {
 public:
  GraphBatch() = default;
  GraphBatch(const GraphBatch&) = delete;
  GraphBatch& operator=(const GraphBatch&) = delete;
  ~GraphBatch() {
    for (PyObject* item : items_) Py_DECREF(item);
  }

  // Takes every item of `sequence`; false with TypeError set when it is not
  // a sequence (or is a str) or an item is not a PyGraph.
  bool take(ModuleState* state, PyObject* sequence) {
    if (!check_sequence(sequence, "graphs")) return false;
    Py_ssize_t count = PySequence_Size(sequence);
    if (count < 0) return false;
    items_.reserve(static_cast<std::size_t>(count));
    graphs_.reserve(static_cast<std::size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
      PyObject* item = PySequence_GetItem(sequence, i);
      if (item == nullptr) return false;
      items_.push_back(item);
      std::string name = "graphs[" + std::to_string(i) + "]";
      const GraphWrap* graph = graph_argument(state, item, name.c_str());
      if (graph == nullptr) return false;
      graphs_.push_back(graph);
    }
    return true;
  }

  const std::vector<const GraphWrap*>& graphs() const { return graphs_; }

 private:
  std::vector<PyObject*> items_;
  std::vector<const GraphWrap*> graphs_;
};

// The options of both functions, None already replaced by its default.
struct BatchOptions {
  std::string candidate_rule{kDefaultCandidateRule};
  std::string branch_rule{kDefaultBranchRule};
  bool allow_hashes = kDefaultAllowHashes;
  bool compress = kDefaultCompress;
  bool compact = kDefaultCompact;
  unsigned workers = 1;
};

// A positive int (any object with __index__ except a bool), or None for the
// hardware's concurrency. Counts beyond the graph count are cut later. Another
// type is a TypeError; an int below 1 is a ValueError, as for a thread pool.
bool convert_workers(PyObject* value, unsigned& out) {
  if (value == nullptr || value == Py_None) {
    out = default_worker_count();
    return true;
  }
  if (PyBool_Check(value) || !PyIndex_Check(value)) {
    raise_cast_error("workers", value, "int");
    return false;
  }
  PyObject* number = PyNumber_Index(value);
  if (number == nullptr) return false;
  int overflow = 0;
  long long count = PyLong_AsLongLongAndOverflow(number, &overflow);
  Py_DECREF(number);
  if (count == -1 && PyErr_Occurred()) return false;
  if (overflow < 0 || (overflow == 0 && count < 1)) {
    PyErr_Format(PyExc_ValueError, "argument 'workers': expected a positive int or None, got %R",
                 value);
    return false;
  }
  out = overflow > 0 || count > UINT_MAX ? UINT_MAX : static_cast<unsigned>(count);
  return true;
}

// Runs `compute` on every graph without the interpreter lock, then wraps the
// results in input order with `wrap`, or raises for the lowest failing graph.
template <typename T, typename Compute, typename Wrap>
PyObject* run_batch(const std::vector<const GraphWrap*>& graphs, unsigned workers,
                    Compute compute, Wrap wrap) {
  std::vector<Result<T>> results(graphs.size());
  std::optional<TaskFailure> failure;
  std::exception_ptr escaped;
  PyThreadState* saved = PyEval_SaveThread();
  try {
    failure = run_indexed(graphs.size(), workers, [&](std::size_t i) {
      results[i] = compute(*graphs[i]);
      return results[i].has_value();
    });
  } catch (...) {
    escaped = std::current_exception();
  }
  PyEval_RestoreThread(saved);
  if (escaped) std::rethrow_exception(escaped);
  if (failure && failure->exception) std::rethrow_exception(failure->exception);
  if (failure)
    return raise_value_error("graph " + std::to_string(failure->index) + ": " +
                             results[failure->index].error().display());

  PyObject* list = PyList_New(static_cast<Py_ssize_t>(results.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < results.size(); ++i) {
    PyObject* item = wrap(std::move(*results[i]));
    if (item == nullptr || PyList_SetItem(list, static_cast<Py_ssize_t>(i), item) < 0) {
      Py_DECREF(list);
      return nullptr;
    }
  }
  return list;
}

}  // namespace

PyObject* to_cgraph_many(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graphs",   "candidate_rule", "branch_rule",
                                             "allow_hashes", "compress", "compact", "workers"};
    PyObject* bound[7];
    if (!bind_arguments("to_cgraph_many", args, kwargs, kNames, 1, bound)) return nullptr;
    ModuleState* state = state_of(module);
    GraphBatch batch;
    BatchOptions o;
    if (!batch.take(state, bound[0]) || !convert_str_or(bound[1], "candidate_rule", kDefaultCandidateRule, o.candidate_rule) ||
        !convert_str_or(bound[2], "branch_rule", kDefaultBranchRule, o.branch_rule) ||
        !convert_bool_or(bound[3], "allow_hashes", kDefaultAllowHashes, o.allow_hashes) ||
        !convert_bool_or(bound[4], "compress", kDefaultCompress, o.compress) ||
        !convert_bool_or(bound[5], "compact", kDefaultCompact, o.compact) || !convert_workers(bound[6], o.workers))
      return nullptr;
    return run_batch<std::string>(
        batch.graphs(), o.workers,
        [&o](const GraphWrap& graph) {
          return to_cgraph(graph, o.candidate_rule, o.branch_rule, o.allow_hashes, o.compress,
                           o.compact);
        },
        [state](std::string text) { return wrap_cgraph(state, std::move(text)); });
  });
}

PyObject* canonical_node_order_many(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"graphs",       "candidate_rule", "branch_rule",
                                             "allow_hashes", "compact",        "workers"};
    PyObject* bound[6];
    if (!bind_arguments("canonical_node_order_many", args, kwargs, kNames, 1, bound))
      return nullptr;
    GraphBatch batch;
    BatchOptions o;
    if (!batch.take(state_of(module), bound[0]) ||
        !convert_str_or(bound[1], "candidate_rule", kDefaultCandidateRule, o.candidate_rule) ||
        !convert_str_or(bound[2], "branch_rule", kDefaultBranchRule, o.branch_rule) ||
        !convert_bool_or(bound[3], "allow_hashes", kDefaultAllowHashes, o.allow_hashes) ||
        !convert_bool_or(bound[4], "compact", kDefaultCompact, o.compact) || !convert_workers(bound[5], o.workers))
      return nullptr;
    return run_batch<std::vector<std::string>>(
        batch.graphs(), o.workers,
        [&o](const GraphWrap& graph) {
          return canonical_node_order(graph, o.candidate_rule, o.branch_rule, o.allow_hashes,
                                      o.compact);
        },
        [](const std::vector<std::string>& order) { return make_str_list(order); });
  });
}

}  // namespace tolva::py
