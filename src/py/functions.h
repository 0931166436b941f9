// The module-level functions of tolva._tolva. Each binds and converts its
// arguments, calls one core function and wraps the result; none holds logic.
// `module` is the tolva._tolva module object.
#pragma once

#include "py/python_api.h"

namespace tolva::py {

PyObject* parse_dot(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* parse_dot_string(PyObject* module, PyObject* args, PyObject* kwargs);
// The complete DOT reader, for tolva.read_dot. Module attributes, but not in
// __all__.
PyObject* read_dot_file(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* read_dot_text(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* graph_from_edges(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* graph_from_json_line(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* to_cgraph_py(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* canonical_node_order_py(PyObject* module, PyObject* args, PyObject* kwargs);

// Batch forms of the two functions above, for a sequence of graphs on native
// threads (batch_functions.cpp). Module attributes, but not in __all__.
PyObject* to_cgraph_many(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* canonical_node_order_many(PyObject* module, PyObject* args, PyObject* kwargs);

// The key of a whole graph, one or many (key_functions.cpp). Module
// attributes, but not in __all__.
PyObject* graph_key(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* graph_key_many(PyObject* module, PyObject* args, PyObject* kwargs);

// The command line's outputs of a JSON Lines chunk (corpus_functions.cpp).
// A module attribute, but not in __all__.
PyObject* outputs_of_jsonl(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* outputs_of_jsonl_stream(PyObject* module, PyObject* args, PyObject* kwargs);
PyObject* line_end_count(PyObject* module, PyObject* args, PyObject* kwargs);

}  // namespace tolva::py
