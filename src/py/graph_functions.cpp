// Functions that build a PyGraph.
#include "graph/edge_list.h"
#include "graph/graph_json_line.h"
#include "py/args.h"
#include "py/errors.h"
#include "py/functions.h"
#include "py/py_graph.h"

namespace tolva::py {

PyObject* graph_from_edges(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"nodes", "edges"};
    PyObject* bound[2];
    if (!bind_arguments("graph_from_edges", args, kwargs, kNames, 2, bound)) return nullptr;
    std::vector<NodeItem> nodes;
    std::vector<EdgeItem> edges;
    if (!convert_tuples(bound[0], "nodes", nodes)) return nullptr;
    if (!convert_tuples(bound[1], "edges", edges)) return nullptr;
    return wrap_graph(state_of(module), graph_from_lists(nodes, edges));
  });
}

PyObject* graph_from_json_line(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"line"};
    PyObject* bound[1];
    if (!bind_arguments("graph_from_json_line", args, kwargs, kNames, 1, bound)) return nullptr;
    if (!PyBytes_Check(bound[0])) {
      raise_cast_error("line", bound[0], "bytes");
      return nullptr;
    }
    char* bytes = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bound[0], &bytes, &size) < 0) return nullptr;
    auto line = read_plain_graph_line(std::string_view(bytes, static_cast<std::size_t>(size)));
    if (!line) Py_RETURN_NONE;
    PyObject* name = make_str(line->name);
    if (name == nullptr) return nullptr;
    return make_pair(name, wrap_graph(state_of(module), std::move(line->graph)));
  });
}

}  // namespace tolva::py
