#include "py/signals.h"

namespace tolva::py {

StopControl signal_stop() {
  return StopControl(+[](void*) { return PyErr_CheckSignals() != 0; }, nullptr);
}

bool handler_raised_without_lock(PyThreadState*& saved) {
  PyEval_RestoreThread(saved);
  bool raised = PyErr_CheckSignals() != 0;
  saved = PyEval_SaveThread();
  return raised;
}

}  // namespace tolva::py
