#include "py/batch_support.h"

#include <climits>

#include "py/args.h"
#include "py/py_graph.h"

namespace tolva::py {

GraphBatch::~GraphBatch() {
  for (PyObject* item : items_) Py_DECREF(item);
}

bool GraphBatch::take(ModuleState* state, PyObject* sequence) {
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

}  // namespace tolva::py
