#include "py/py_graph.h"

#include <memory>
#include <vector>

#include "py/args.h"
#include "graph/graph_records.h"
#include "py/errors.h"
#include "py/pickling.h"

namespace tolva::py {
namespace {

struct PyGraphObject {
  PyObject_HEAD
  GraphWrap* graph;
};

GraphWrap& graph_of(PyObject* self) { return *reinterpret_cast<PyGraphObject*>(self)->graph; }

// A new instance of `type` (the PyGraph type) owning `graph`.
PyObject* wrap_graph_as(PyObject* type, GraphWrap graph) {
  auto owned = std::make_unique<GraphWrap>(std::move(graph));
  PyObject* object = PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(type), 0);
  if (object == nullptr) return nullptr;
  reinterpret_cast<PyGraphObject*>(object)->graph = owned.release();
  return object;
}

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

// The inverse of __reduce__: the graph of its node and edge records.
PyObject* from_records(PyObject* type, PyObject* args) {
  return guarded([&]() -> PyObject* {
    PyObject* nodes_arg = nullptr;
    PyObject* edges_arg = nullptr;
    if (!PyArg_UnpackTuple(args, "_from_records", 2, 2, &nodes_arg, &edges_arg)) return nullptr;
    std::vector<NodeRecord> nodes;
    std::vector<EdgeRecord> edges;
    if (!convert_tuples(nodes_arg, "nodes", nodes) || !convert_tuples(edges_arg, "edges", edges))
      return nullptr;
    auto graph = graph_from_records(nodes, edges);
    if (!graph) return raise_tolva_error(graph.error());
    return wrap_graph_as(type, std::move(*graph));
  });
}

// Pickling: the records node_labels() and edges() report, which rebuild
// the same graph (ids, labels, edge ids and every order kept).
PyObject* reduce(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    PyObject* records = PyTuple_New(2);
    if (records == nullptr) return nullptr;
    PyObject* nodes = node_labels(self, nullptr);
    PyObject* edge_list = nodes == nullptr ? nullptr : edges(self, nullptr);
    if (nodes != nullptr) PyTuple_SetItem(records, 0, nodes);
    if (edge_list != nullptr) PyTuple_SetItem(records, 1, edge_list);
    PyObject* reduced = edge_list == nullptr ? nullptr : reduce_value(self, "_from_records", records);
    Py_DECREF(records);
    return reduced;
  });
}

// A PyGraph never changes, so a copy may be the graph itself.
PyObject* same_graph(PyObject* self, PyObject*) { return Py_NewRef(self); }

PyGetSetDef getters[] = {
    {"node_count", node_count, nullptr, const_cast<char*>("The number of nodes."), nullptr},
    {"edge_count", edge_count, nullptr, const_cast<char*>("The number of edges."), nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef methods[] = {
    {"node_labels", node_labels, METH_NOARGS,
     "node_labels($self)\n--\n\n(id, label) of every node, in creation order."},
    {"edges", edges, METH_NOARGS,
     "edges($self)\n--\n\n(edge id, first id, second id, modality) of every edge, in creation order."},
    {"__reduce__", reduce, METH_NOARGS, "__reduce__($self)\n--\n\nPickles the graph by its records."},
    {"__copy__", same_graph, METH_NOARGS, "__copy__($self)\n--\n\nThe graph itself (it never changes)."},
    {"__deepcopy__", same_graph, METH_O,
     "__deepcopy__($self, memo, /)\n--\n\nThe graph itself (it never changes)."},
    {"_from_records", from_records, METH_VARARGS | METH_CLASS,
     "_from_records($type, nodes, edges, /)\n--\n\nThe graph of node_labels() and edges() records; "
     "used by pickle."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_getset, getters},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>(
        "An immutable labelled multigraph, made by graph_from_edges, parse_dot or\n"
        "parse_dot_string (or tolva.graph). It pickles and copies with its ids, labels, edge\n"
        "ids and orders kept, so every function gives the same result on the copy.")},
    {0, nullptr},
};

PyType_Spec type_spec = {"tolva._tolva.PyGraph", sizeof(PyGraphObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* create_graph_type(PyObject*) { return PyType_FromSpec(&type_spec); }

PyObject* wrap_graph(ModuleState* state, GraphWrap graph) {
  return wrap_graph_as(state->graph_type, std::move(graph));
}

const GraphWrap* graph_argument(ModuleState* state, PyObject* value, const char* arg) {
  if (!PyObject_TypeCheck(value, reinterpret_cast<PyTypeObject*>(state->graph_type))) {
    raise_cast_error(arg, value, "PyGraph");
    return nullptr;
  }
  return reinterpret_cast<PyGraphObject*>(value)->graph;
}

}  // namespace tolva::py
