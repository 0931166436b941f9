// Functions that build a PyGraph.
#include "graph/edge_list.h"
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

}  // namespace tolva::py
