// PyCGraph: the Python handle of one canonical string.
//
// str() and as_str() give the string itself, repr() PyCGraph('...'). Two
// instances compare and hash by their texts' bytes, and pickle by the text.
// Instances come from to_cgraph_py (and unpickling); the class cannot be
// called or subclassed from Python.
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
