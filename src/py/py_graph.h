// PyGraph: the Python handle of one immutable GraphWrap.
//
// Instances come only from the graph-building functions of the module (and
// unpickling); the class cannot be called or subclassed from Python. The
// wrapped graph is never changed after creation, so one PyGraph can be passed
// to any number of calls, and copy.copy / copy.deepcopy give it back itself.
#pragma once

#include "graph/graph_wrap.h"
#include "py/module_state.h"
#include "py/python_api.h"

namespace tolva::py {

// Creates the PyGraph type object (a new reference), or nullptr with an error set.
PyObject* create_graph_type(PyObject* module);

// A new PyGraph owning `graph`.
PyObject* wrap_graph(ModuleState* state, GraphWrap graph);

// The graph inside a PyGraph argument; nullptr with TypeError
// "argument '<arg>': '<type>' object cannot be cast as 'PyGraph'" otherwise.
const GraphWrap* graph_argument(ModuleState* state, PyObject* value, const char* arg);

}  // namespace tolva::py
