// Functions that build a PyGraph from DOT.
#include "dot/dot_reader.h"
#include "py/args.h"
#include "py/errors.h"
#include "py/functions.h"
#include "py/py_graph.h"
#include "py/signals.h"

namespace tolva::py {
namespace {

PyObject* wrap_reader_result(PyObject* module, std::expected<GraphWrap, std::string> graph) {
  // A signal handler that raised while the reader waited on a FIFO stopped it:
  // its exception is the outcome, not the reader's message.
  if (!graph && PyErr_Occurred()) return nullptr;
  if (!graph) return raise_tolva_error(TolvaError(ErrorKind::Parse, std::move(graph.error())));
  return wrap_graph(state_of(module), std::move(*graph));
}

}  // namespace

PyObject* parse_dot(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"path"};
    PyObject* bound[1];
    if (!bind_arguments("parse_dot", args, kwargs, kNames, 1, bound)) return nullptr;
    std::string path;
    if (!convert_str(bound[0], "path", path)) return nullptr;
    StopControl stop = signal_stop();
    return wrap_reader_result(module, parse_dot_file(path, &stop));
  });
}

PyObject* parse_dot_string(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"content"};
    PyObject* bound[1];
    if (!bind_arguments("parse_dot_string", args, kwargs, kNames, 1, bound)) return nullptr;
    std::string content;
    if (!convert_str(bound[0], "content", content)) return nullptr;
    return wrap_reader_result(module, parse_dot_content(content));
  });
}

}  // namespace tolva::py
