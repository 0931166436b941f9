#include "py/py_graph.h"

#include <memory>

#include "py/args.h"
#include "py/errors.h"

namespace tolva::py {
namespace {

struct PyGraphObject {
  PyObject_HEAD
  GraphWrap* graph;
};

GraphWrap& graph_of(PyObject* self) { return *reinterpret_cast<PyGraphObject*>(self)->graph; }

PyObject* refuse_construction(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError,
                  "cannot create 'PyGraph' instances; use graph_from_edges, parse_dot or "
                  "parse_dot_string");
  return nullptr;
}

void dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  delete reinterpret_cast<PyGraphObject*>(self)->graph;
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

PyObject* node_count(PyObject* self, void*) {
  return PyLong_FromUnsignedLongLong(graph_of(self).node_count());
}

PyObject* edge_count(PyObject* self, void*) {
  return PyLong_FromUnsignedLongLong(graph_of(self).edge_count());
}

// Builds a tuple of str from UTF-8 fields; nullptr with an error set on failure.
template <std::size_t N>
PyObject* str_tuple(const std::array<std::string_view, N>& fields) {
  PyObject* tuple = PyTuple_New(N);
  if (tuple == nullptr) return nullptr;
  for (std::size_t i = 0; i < N; ++i) {
    PyObject* item = make_str(fields[i]);
    if (item == nullptr || PyTuple_SetItem(tuple, static_cast<Py_ssize_t>(i), item) < 0) {
      Py_DECREF(tuple);
      return nullptr;
    }
  }
  return tuple;
}

// Appends `item` (stolen) to `list`; false with an error set on failure.
bool append_stolen(PyObject* list, PyObject* item) {
  if (item == nullptr) return false;
  int status = PyList_Append(list, item);
  Py_DECREF(item);
  return status == 0;
}

PyObject* node_labels(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    const GraphWrap& graph = graph_of(self);
    PyObject* list = PyList_New(0);
    if (list == nullptr) return nullptr;
    for (NodeIndex index : graph.node_indices()) {
      if (!append_stolen(list, str_tuple<2>({graph.id(index), graph.label(index)}))) {
        Py_DECREF(list);
        return nullptr;
      }
    }
    return list;
  });
}

PyObject* edges(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    const GraphWrap& graph = graph_of(self);
    PyObject* list = PyList_New(0);
    if (list == nullptr) return nullptr;
    for (EdgeIndex index : graph.edge_indices()) {
      PyObject* item = str_tuple<4>({graph.edge_id(index), graph.id(graph.first_end(index)),
                                     graph.id(graph.second_end(index)), graph.modality(index)});
      if (!append_stolen(list, item)) {
        Py_DECREF(list);
        return nullptr;
      }
    }
    return list;
  });
}

PyGetSetDef getters[] = {
    {"node_count", node_count, nullptr, nullptr, nullptr},
    {"edge_count", edge_count, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"node_labels", node_labels, METH_NOARGS, "node_labels($self)\n--\n\n"},
    {"edges", edges, METH_NOARGS, "edges($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_getset, getters},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("")},
    {0, nullptr},
};

PyType_Spec type_spec = {"tolva._tolva.PyGraph", sizeof(PyGraphObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* create_graph_type(PyObject*) { return PyType_FromSpec(&type_spec); }

PyObject* wrap_graph(ModuleState* state, GraphWrap graph) {
  auto owned = std::make_unique<GraphWrap>(std::move(graph));
  PyObject* object = PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(state->graph_type), 0);
  if (object == nullptr) return nullptr;
  reinterpret_cast<PyGraphObject*>(object)->graph = owned.release();
  return object;
}

const GraphWrap* graph_argument(ModuleState* state, PyObject* value, const char* arg) {
  if (!PyObject_TypeCheck(value, reinterpret_cast<PyTypeObject*>(state->graph_type))) {
    raise_cast_error(arg, value, "PyGraph");
    return nullptr;
  }
  return reinterpret_cast<PyGraphObject*>(value)->graph;
}

}  // namespace tolva::py
