// Pickling of tolva's two classes. Neither can be called from Python, so
// each has a class method that rebuilds an instance from plain values, and
// __reduce__ hands pickle that method with the values:
//
//   pickle.dumps(c)  stores  (PyCGraph._from_text, ("(C:1, O:1)C",))
//
// pickle writes the method as a reference to the class (tolva._tolva.PyCGraph)
// and the name, so every protocol can carry it.
#pragma once

#include "py/python_api.h"

namespace tolva::py {

// (type(self).<method>, (args,)) as a new reference; `args` is borrowed and
// must be a tuple or a single object (then wrapped in a 1-tuple).
PyObject* reduce_value(PyObject* self, const char* method, PyObject* args);

}  // namespace tolva::py
