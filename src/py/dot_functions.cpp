// Functions that build a PyGraph from DOT: the line reader (parse_dot,
// parse_dot_string) and the complete reader (read_dot_file, read_dot_text).
#include "dot/dot_parser.h"
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

// A signal handler that raised stops the reader with an Interrupted error,
// which leaves the handler's exception as the outcome.
PyObject* wrap_result(PyObject* module, Result<GraphWrap> graph) {
  if (!graph) return raise_tolva_error(graph.error());
  return wrap_graph(state_of(module), std::move(*graph));
}

// Binds (<source>, accept_directed, label, modality) of the complete reader;
// `source` views the argument's text, valid for the call.
bool bind_complete_reader(const char* function, const char* source_name, PyObject* args,
                          PyObject* kwargs, std::string_view& source, DotReadOptions& options) {
  const char* const names[] = {source_name, "accept_directed", "label", "modality"};
  PyObject* bound[4];
  DotReadOptions defaults;
  return bind_arguments(function, args, kwargs, names, 1, bound) &&
         convert_str_view(bound[0], source_name, source) &&
         convert_bool_or(bound[1], "accept_directed", false, options.accept_directed) &&
         convert_str_or(bound[2], "label", defaults.label_key, options.label_key) &&
         convert_str_list_or(bound[3], "modality", defaults.modality_keys, options.modality_keys);
}

}  // namespace

PyObject* read_dot_file(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    std::string_view path;
    DotReadOptions options;
    if (!bind_complete_reader("read_dot_file", "path", args, kwargs, path, options)) return nullptr;
    StopControl stop = signal_stop();
    return wrap_result(module, read_dot_graph_file(path, options, &stop));
  });
}

PyObject* read_dot_text(PyObject* module, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    std::string_view content;
    DotReadOptions options;
    if (!bind_complete_reader("read_dot_text", "content", args, kwargs, content, options))
      return nullptr;
    StopControl stop = signal_stop();
    return wrap_result(module, read_dot_graph(content, options, &stop));
  });
}

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
    // The text is read where the str holds it: a copy would double the peak.
    std::string_view content;
    if (!convert_str_view(bound[0], "content", content)) return nullptr;
    return wrap_reader_result(module, parse_dot_content(content));
  });
}

}  // namespace tolva::py
