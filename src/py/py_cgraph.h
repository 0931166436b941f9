// PyCGraph: the Python handle of one canonical string.
//
// str(), repr() and as_str() all give the string itself. Instances come only
// from to_cgraph_py; the class cannot be called or subclassed from Python.
#pragma once

#include <string>

#include "py/module_state.h"
#include "py/python_api.h"

namespace tolva::py {

// Creates the PyCGraph type object (a new reference), or nullptr with an error set.
PyObject* create_cgraph_type(PyObject* module);

// A new PyCGraph owning `text`.
PyObject* wrap_cgraph(ModuleState* state, std::string text);

}  // namespace tolva::py
