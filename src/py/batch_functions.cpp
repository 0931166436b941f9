// The batch functions: to_cgraph_many and canonical_node_order_many give, for
// a sequence of PyGraph, exactly what to_cgraph_py and canonical_node_order_py
// give one graph at a time, computed on a pool of native threads with the
// interpreter lock released.
//
// Every argument is converted and every graph taken, with a reference held to
// its PyGraph, before the lock is released; the threads then see only C++
// data, and every core call copies its graph, so the graphs are only read.
// The trace switches are read here, once, on the calling thread: the workers
// never touch the environment, which Python code may be changing meanwhile.
// Each graph's trace lines are written together when the graph is done.
//
// While the workers run, the calling thread takes the lock back every 50 ms
// to run pending signal handlers; when one raises (Ctrl-C), the workers stop
// at their next check and the handler's exception is raised.
//
// Results come back in input order. A failed graph gives ValueError
// "graph <i>: <display text>", or for a C++ exception MemoryError "graph <i>:
// out of memory" / InternalError. With on_error="raise" (the default) the
// lowest failing graph's exception is raised; with on_error="return" it takes
// the graph's place in the list and every other result is kept.
//
//   to_cgraph_many([g0, g1], workers=2)  ->  [to_cgraph_py(g0, ...), to_cgraph_py(g1, ...)]
#include <climits>
#include <string>
#include <vector>

#include "canonize/batch.h"
#include "canonize/cgraph.h"
#include "canonize/first_pass.h"
#include "canonize/node_order.h"
#include "dag/trace.h"
#include "py/args.h"
#include "py/errors.h"
#include "py/functions.h"
#include "py/py_cgraph.h"
#include "py/py_graph.h"
#include "py/signals.h"

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
  bool return_errors = false;
};

// "raise" (or None, or omitted) or "return"; anything else is refused.
bool convert_on_error(PyObject* value, bool& return_errors) {
  std::string mode;
  if (!convert_str_or(value, "on_error", "raise", mode)) return false;
  if (mode != "raise" && mode != "return") {
    PyErr_Format(PyExc_ValueError, "argument 'on_error': expected 'raise' or 'return', got %R", value);
    return false;
  }
  return_errors = mode == "return";
  return true;
}

// The exception of one failed graph, as a new object.
template <typename T>
PyObject* failure_exception(const TaskFailure& failure, const Result<T>& result) {
  std::string prefix = "graph " + std::to_string(failure.index) + ": ";
  if (failure.exception) return exception_for(failure.exception, prefix);
  return new_exception(PyExc_ValueError, prefix + result.error().display());
}

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
// results in input order with `wrap`, raising or placing the failures.
template <typename T, typename Compute, typename Wrap>
PyObject* run_batch(const std::vector<const GraphWrap*>& graphs, const BatchOptions& options,
                    Compute compute, Wrap wrap) {
  bool trace = env_switch_on("TOLVA_TRACE");
  bool trace_magnet = env_switch_on("TOLVA_TRACE_MAGNET");
  std::vector<Result<T>> results(graphs.size(), std::unexpected(TolvaError(ErrorKind::Interrupted, "")));
  BatchRun run;
  std::exception_ptr escaped;
  PyThreadState* saved = PyEval_SaveThread();
  try {
    BatchRunOptions run_options{options.workers, !options.return_errors};
    run = run_indexed(graphs.size(), run_options,
        [&](std::size_t i, StopControl& stop) {
          GraphTraceBuffer lines;
          CallControls controls{TraceSettings::fixed(trace, trace_magnet, lines), &stop};
          results[i] = compute(*graphs[i], controls);
          return results[i].has_value();
        },
        [&saved] { return handler_raised_without_lock(saved); });
  } catch (...) {
    escaped = std::current_exception();
  }
  PyEval_RestoreThread(saved);
  if (escaped) std::rethrow_exception(escaped);
  if (run.cancelled) return PyErr_Occurred() ? nullptr : raise_internal_error("batch cancelled");

  PyObject* list = PyList_New(static_cast<Py_ssize_t>(results.size()));
  if (list == nullptr) return nullptr;
  auto failure = run.failures.begin();
  for (std::size_t i = 0; i < results.size(); ++i) {
    PyObject* item;
    if (failure != run.failures.end() && failure->index == i) {
      item = failure_exception(*failure++, results[i]);
      if (item != nullptr && !options.return_errors) {
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(item)), item);
        Py_DECREF(item);
        Py_DECREF(list);
        return nullptr;
      }
    } else {
      item = wrap(std::move(*results[i]));
    }
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
        !convert_bool_or(bound[5], "compact", kDefaultCompact, o.compact) || !convert_workers(bound[6], o.workers) ||
        !convert_on_error(bound[7], o.return_errors))
      return nullptr;
    return run_batch<std::string>(
        batch.graphs(), o,
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
        !convert_bool_or(bound[4], "compact", kDefaultCompact, o.compact) || !convert_workers(bound[5], o.workers) ||
        !convert_on_error(bound[6], o.return_errors))
      return nullptr;
    return run_batch<std::vector<std::string>>(
        batch.graphs(), o,
        [&o](const GraphWrap& graph, const CallControls& controls) {
          return canonical_node_order(graph, o.candidate_rule, o.branch_rule, o.allow_hashes,
                                      o.compact, controls);
        },
        [](const std::vector<std::string>& order) { return make_str_list(order); });
  });
}

}  // namespace tolva::py
