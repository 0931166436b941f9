// Initialisation of the extension module tolva._tolva: creates the module,
// then adds the classes and functions one by one, in a fixed order, appending
// each public name to __all__ in that same order.
#include <span>

#include "error/exception_state.h"
#include "py/functions.h"
#include "py/module_state.h"
#include "py/py_cgraph.h"
#include "py/py_graph.h"
#include "py/python_api.h"

namespace tolva::py {
namespace {

int traverse_state(PyObject* module, visitproc visit, void* arg) {
  ModuleState* state = state_of(module);
  if (state == nullptr) return 0;
  Py_VISIT(state->graph_type);
  Py_VISIT(state->cgraph_type);
  Py_VISIT(state->internal_error);
  return 0;
}

int clear_state(PyObject* module) {
  ModuleState* state = state_of(module);
  if (state == nullptr) return 0;
  Py_CLEAR(state->graph_type);
  Py_CLEAR(state->cgraph_type);
  Py_CLEAR(state->internal_error);
  return 0;
}

void free_state(void* module) { clear_state(static_cast<PyObject*>(module)); }

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "_tolva", "", sizeof(ModuleState), nullptr, nullptr,
    traverse_state,        clear_state, free_state,
};

// Entry points take (module, args, kwargs); the cast is the C API's calling convention.
template <PyObject* (*Function)(PyObject*, PyObject*, PyObject*)>
PyMethodDef function_def(const char* name, const char* doc) {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Function)),
          METH_VARARGS | METH_KEYWORDS, doc};
}

// The public functions, in registration order. Each docstring is the text
// signature, a line "--" and an empty line (which give Python the
// signature), then what the function does.
PyMethodDef function_defs[] = {
    function_def<parse_dot>("parse_dot",
                            "parse_dot(path)\n--\n\n"
                            "Reads a graph from the DOT file at `path` (UTF-8) into a PyGraph.\n"
                            "ValueError \"parse error: ...\" when it cannot be read or parsed."),
    function_def<parse_dot_string>("parse_dot_string",
                                   "parse_dot_string(content)\n--\n\n"
                                   "Reads a graph from DOT text into a PyGraph.\n"
                                   "ValueError \"parse error: line N: ...\" for an unusable node id."),
    function_def<graph_from_edges>(
        "graph_from_edges",
        "graph_from_edges(nodes, edges)\n--\n\n"
        "Builds a PyGraph from (id, label) tuples and (id, id, modality) tuples. Nodes that\n"
        "appear only in edges get the label \".\"; edges are named e1, e2, ... in order."),
    function_def<to_cgraph_py>(
        "to_cgraph_py",
        "to_cgraph_py(graph, candidate_rule, branch_rule, allow_hashes, compress, compact)\n--\n\n"
        "The canonical string of the graph's root component, as a PyCGraph. All six\n"
        "arguments are required; None stands for the default (\"$degree\", the fixed branch\n"
        "rule, True, True, False). tolva.canonical_string takes them by keyword."),
    function_def<canonical_node_order_py>(
        "canonical_node_order_py",
        "canonical_node_order_py(graph, candidate_rule=None, branch_rule=None, allow_hashes=None, "
        "compact=None)\n--\n\n"
        "The ids of the nodes in the order the canonical string visits them."),
};

// Further functions, added as module attributes only: __all__ keeps the
// original names.
PyMethodDef extra_function_defs[] = {
    function_def<graph_from_json_line>(
        "graph_from_json_line",
        "graph_from_json_line(line)\n--\n\n"
        "(name, PyGraph) of a JSON Lines corpus line (bytes) in its plain form: an object with\n"
        "the string \"name\", \"nodes\" as [id, label] and \"edges\" as [id, id, modality] string\n"
        "lists, other keys only with string values. None for any other line, which a full\n"
        "JSON reader then reads (or names its fault); the graph is graph_from_edges's."),
    function_def<read_dot_file>(
        "read_dot_file",
        "read_dot_file(path, accept_directed=False, label='label', modality=None)\n--\n\n"
        "Reads one graph from a DOT file with the complete DOT grammar; modality None stands\n"
        "for ('weight', 'label'). A file that is not UTF-8 is read as Latin-1. tolva.read_dot\n"
        "is the friendlier entry point."),
    function_def<read_dot_text>(
        "read_dot_text",
        "read_dot_text(content, accept_directed=False, label='label', modality=None)\n--\n\n"
        "Reads one graph from DOT text with the complete DOT grammar; modality None stands for\n"
        "('weight', 'label'). tolva.read_dot is the friendlier entry point."),
    function_def<to_cgraph_many>(
        "to_cgraph_many",
        "to_cgraph_many(graphs, candidate_rule=None, branch_rule=None, allow_hashes=None, "
        "compress=None, compact=None, workers=None, on_error='raise')\n--\n\n"
        "to_cgraph_py for a sequence of graphs, on native threads, results in input order."),
    function_def<canonical_node_order_many>(
        "canonical_node_order_many",
        "canonical_node_order_many(graphs, candidate_rule=None, branch_rule=None, "
        "allow_hashes=None, compact=None, workers=None, on_error='raise')\n--\n\n"
        "canonical_node_order_py for a sequence of graphs, on native threads, in input order."),
    function_def<graph_key>(
        "graph_key",
        "graph_key(graph, compact=None, allow_hashes=None, whole_braces=None)\n--\n\n"
        "The key of the whole graph: every connected component canonised, escaped, sorted\n"
        "and joined after the format prefix \"tolva1:\". tolva.key is the keyword form."),
    function_def<graph_key_many>(
        "graph_key_many",
        "graph_key_many(graphs, compact=None, allow_hashes=None, whole_braces=None, workers=None, "
        "on_error='raise')\n--\n\n"
        "graph_key for a sequence of graphs, on native threads, results in input order."),
    function_def<outputs_of_jsonl>(
        "outputs_of_jsonl",
        "outputs_of_jsonl(chunk, product='cgraph', candidate_rule=None, branch_rule=None, "
        "allow_hashes=None, compress=None, compact=None, workers=None)\n--\n\n"
        "What the command line writes for whole JSON Lines (bytes), on native threads: for each\n"
        "non-blank line in order, the line 'NAME\\tCGRAPH\\n' (product 'cgraph'),\n"
        "'NAME\\tID ID ...\\n' ('order'), the JSON line of 'json' or 'json_order' (with the\n"
        "order), written as the command line writes them, or (name, key) ('key'); (name, ValueError) for a graph whose result fails; (index of the line in the\n"
        "chunk, the line) for a line outside the plain form of graph_from_json_line, left to a\n"
        "full JSON reader."),
    function_def<outputs_of_jsonl_stream>(
        "outputs_of_jsonl_stream",
        "outputs_of_jsonl_stream(chunks, handle, product='cgraph', candidate_rule=None, "
        "branch_rule=None, allow_hashes=None, compress=None, compact=None, workers=None)\n--\n\n"
        "outputs_of_jsonl for each chunk of an iterable of (tag, bytes or None) pairs, calling\n"
        "handle(tag, items) in order (items None for None); the threads compute one chunk while\n"
        "the next is read and the last handed on. An Exception raised by the iterable comes\n"
        "after the chunks taken before it are handed on."),
    function_def<line_end_count>(
        "line_end_count",
        "line_end_count(data)\n--\n\n"
        "How many b'\\n' the bytes `data` hold (bytes.count(b'\\n'), without a pass of the\n"
        "interpreter's over every byte)."),
};

// Adds `object` (a new reference, stolen) under `name` and appends the name to __all__.
bool add_public(PyObject* module, PyObject* all, const char* name, PyObject* object) {
  if (object == nullptr) return false;
  if (PyModule_AddObject(module, name, object) < 0) {
    Py_DECREF(object);
    return false;
  }
  PyObject* text = PyUnicode_FromString(name);
  if (text == nullptr) return false;
  int status = PyList_Append(all, text);
  Py_DECREF(text);
  return status == 0;
}

// Adds `object` (a new reference, stolen) under `name`, leaving __all__ alone.
bool add_attribute(PyObject* module, const char* name, PyObject* object) {
  if (object == nullptr) return false;
  if (PyModule_AddObject(module, name, object) < 0) {
    Py_DECREF(object);
    return false;
  }
  return true;
}

// Adds a class; the module state keeps its own reference to the type.
bool add_class(PyObject* module, PyObject* all, const char* name, PyObject* type,
               PyObject** state_slot) {
  if (type == nullptr) return false;
  Py_INCREF(type);
  *state_slot = type;
  return add_public(module, all, name, type);
}

// The __all__ list of the module, created when absent (borrowed reference).
PyObject* all_list(PyObject* module) {
  PyObject* dict = PyModule_GetDict(module);
  PyObject* all = PyDict_GetItemString(dict, "__all__");
  if (all != nullptr) return all;
  all = PyList_New(0);
  if (all == nullptr) return nullptr;
  int status = PyDict_SetItemString(dict, "__all__", all);
  Py_DECREF(all);
  return status == 0 ? all : nullptr;
}

bool populate(PyObject* module) {
  ModuleState* state = state_of(module);
  state->internal_error = PyErr_NewExceptionWithDoc(
      "tolva._tolva.InternalError",
      "An unexpected fault inside tolva's native code. Never raised for bad input; "
      "please report it.",
      PyExc_BaseException, nullptr);
  if (state->internal_error == nullptr) return false;
  Py_INCREF(state->internal_error);
  if (PyModule_AddObject(module, "InternalError", state->internal_error) < 0) {
    Py_DECREF(state->internal_error);
    return false;
  }
  PyObject* all = all_list(module);
  if (all == nullptr) return false;
  if (!add_class(module, all, "PyGraph", create_graph_type(module), &state->graph_type) ||
      !add_class(module, all, "PyCGraph", create_cgraph_type(module), &state->cgraph_type))
    return false;
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return false;
  bool ok = true;
  for (PyMethodDef& def : function_defs) {
    ok = add_public(module, all, def.ml_name, PyCFunction_NewEx(&def, module, module_name));
    if (!ok) break;
  }
  for (PyMethodDef& def : extra_function_defs) {
    if (!ok) break;
    ok = add_attribute(module, def.ml_name, PyCFunction_NewEx(&def, module, module_name));
  }
  Py_DECREF(module_name);
  return ok;
}

}  // namespace

ModuleState* state_of(PyObject* module) {
  return static_cast<ModuleState*>(PyModule_GetState(module));
}

ModuleState* loaded_state() {
  PyObject* module = PyState_FindModule(&module_def);
  if (module == nullptr) return nullptr;
  return state_of(module);
}

}  // namespace tolva::py

PyMODINIT_FUNC PyInit__tolva() {
  // The importing thread is usually the one that calls in later; ready it for
  // throwing std::bad_alloc now, while memory is surely there.
  tolva::prepare_exception_state();
  PyObject* module = PyModule_Create(&tolva::py::module_def);
  if (module == nullptr) return nullptr;
  if (!tolva::py::populate(module)) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
