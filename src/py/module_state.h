// Per-module state of tolva._tolva: the two classes and the internal-error
// exception, owned by the module object (nothing lives in C++ globals).
#pragma once

#include "py/python_api.h"

namespace tolva::py {

struct ModuleState {
  PyObject* graph_type = nullptr;      // PyGraph
  PyObject* cgraph_type = nullptr;     // PyCGraph
  PyObject* internal_error = nullptr;  // InternalError(BaseException)
};

// The state of a module object created by PyInit__tolva.
ModuleState* state_of(PyObject* module);

// The state of the loaded tolva._tolva module, for code that is not handed the
// module object (methods, error paths); nullptr when the module is gone.
ModuleState* loaded_state();

}  // namespace tolva::py
