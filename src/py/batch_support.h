// What every batch function of tolva._tolva shares: taking the graphs, the
// `workers` and `on_error` arguments, and running one core call per graph
// on native threads with the interpreter lock released.
//
// Every graph is taken, with a reference held to its PyGraph, before the lock
// is released; the threads then see only C++ data, and every core call
// copies its graph, so the graphs are only read. The trace switches are read
// once, on the calling thread: the workers never touch the environment,
// which Python code may be changing meanwhile. Each graph's trace lines are
// written together when the graph is done.
//
// While the workers run, the calling thread takes the lock back every 50 ms
// to run pending signal handlers; when one raises (Ctrl-C), the workers stop
// at their next check and the handler's exception is raised.
//
// Results come back in input order. A failed graph gives ValueError
// "graph <i>: <display text>", or for a C++ exception MemoryError "graph <i>:
// out of memory" / InternalError. With on_error="raise" the lowest failing
// graph's exception is raised; with on_error="return" it takes the graph's
// place in the list and every other result is kept.
//
//   GraphBatch batch;
//   BatchMode mode;
//   if (!batch.take(state, bound[0]) || !convert_workers(bound[1], mode.workers)) return nullptr;
//   return run_batch<std::string>(batch.graphs(), mode,
//       [](const GraphWrap& g, const CallControls& c) { return to_cgraph(g, ..., c); },
//       [](std::string text) { return make_str(text); });
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "canonize/batch.h"
#include "dag/call_controls.h"
#include "dag/trace.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"
#include "py/errors.h"
#include "py/module_state.h"
#include "py/python_api.h"
#include "py/signals.h"

namespace tolva::py {

// The items of a `graphs` argument, each kept alive by a held reference
// until the batch is done, and the graphs inside them.
class GraphBatch {
 public:
  GraphBatch() = default;
  GraphBatch(const GraphBatch&) = delete;
  GraphBatch& operator=(const GraphBatch&) = delete;
  ~GraphBatch();

  // Takes every item of `sequence`; false with TypeError set when it is not
  // a sequence (or is a str) or an item is not a PyGraph.
  bool take(ModuleState* state, PyObject* sequence);

  const std::vector<const GraphWrap*>& graphs() const { return graphs_; }

 private:
  std::vector<PyObject*> items_;
  std::vector<const GraphWrap*> graphs_;
};

// How a batch runs: on how many threads, and what a failed graph does.
struct BatchMode {
  unsigned workers = 1;
  bool return_errors = false;
};

// "raise" (or None, or omitted) or "return"; anything else is refused.
bool convert_on_error(PyObject* value, bool& return_errors);

// A positive int (any object with __index__ except a bool), or None for the
// processors this process may use. Another type is a TypeError; an int below
// 1 is a ValueError, as for a thread pool.
bool convert_workers(PyObject* value, unsigned& out);

// The exception object of one failed graph, as a new reference.
template <typename T>
PyObject* failure_exception(const TaskFailure& failure, const Result<T>& result) {
  std::string prefix = "graph " + std::to_string(failure.index) + ": ";
  if (failure.exception) return exception_for(failure.exception, prefix);
  return new_exception(PyExc_ValueError, prefix + result.error().display());
}

// Runs `task(i, controls)` for every index below `count` on native threads
// without the interpreter lock, as described above; false with the Python
// error set when a signal handler raised (or nothing could run).
template <typename Task>
bool run_unlocked(std::size_t count, const BatchMode& mode, Task task, BatchRun& run) {
  bool trace = env_switch_on("TOLVA_TRACE");
  bool trace_magnet = env_switch_on("TOLVA_TRACE_MAGNET");
  std::exception_ptr escaped;
  PyThreadState* saved = PyEval_SaveThread();
  try {
    BatchRunOptions run_options{mode.workers, !mode.return_errors};
    run = run_indexed(count, run_options,
        [&](std::size_t i, StopControl& stop, RewriteScratch& scratch) {
          GraphTraceBuffer lines;
          CallControls controls{TraceSettings::fixed(trace, trace_magnet, lines), &stop, &scratch};
          return task(i, controls);
        },
        [&saved] { return handler_raised_without_lock(saved); });
  } catch (...) {
    escaped = std::current_exception();
  }
  PyEval_RestoreThread(saved);
  if (escaped) std::rethrow_exception(escaped);
  if (run.cancelled) {
    if (!PyErr_Occurred()) raise_internal_error("batch cancelled");
    return false;
  }
  return true;
}

// Runs `compute(graph, controls)` -> Result<T> on every graph without the
// interpreter lock, then wraps the results in input order with `wrap`,
// raising or placing the failures as described above.
template <typename T, typename Compute, typename Wrap>
PyObject* run_batch(const std::vector<const GraphWrap*>& graphs, const BatchMode& mode, Compute compute,
                    Wrap wrap) {
  std::vector<Result<T>> results(graphs.size(), std::unexpected(TolvaError(ErrorKind::Interrupted, "")));
  BatchRun run;
  bool ran = run_unlocked(graphs.size(), mode, [&](std::size_t i, const CallControls& controls) {
    results[i] = compute(*graphs[i], controls);
    return results[i].has_value();
  }, run);
  if (!ran) return nullptr;

  PyObject* list = PyList_New(static_cast<Py_ssize_t>(results.size()));
  if (list == nullptr) return nullptr;
  auto failure = run.failures.begin();
  for (std::size_t i = 0; i < results.size(); ++i) {
    PyObject* item;
    if (failure != run.failures.end() && failure->index == i) {
      item = failure_exception(*failure++, results[i]);
      if (item != nullptr && !mode.return_errors) {
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

}  // namespace tolva::py
