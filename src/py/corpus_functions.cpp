// outputs_of_jsonl: what the command line writes for each graph of a chunk of
// a JSON Lines corpus, each line read and computed on native threads with the
// interpreter lock released (corpus_lines.h).
//
//   outputs_of_jsonl(b'{"name":"x","nodes":[],"edges":[["a","b","1"]]}\n\n{"name": 1}\n')
//   -> ['x\t(.:1).\n', (2, b'{"name": 1}')]
//
// One item per non-blank line, in order: the output line (str) for the
// products "cgraph", "order", "json" and "json_order", (name, key) for "key"; (name, ValueError) for
// a graph whose result failed; or, for a line the native reader does not take,
// (its index in the chunk from 0, the line as bytes), which the caller reads
// with a full JSON reader. A C++ exception while a line is computed leaves the
// line to the caller in the same way.
//
//   line_end_count(b'a\nb\n')  -> 2
#include <string>
#include <vector>

#include "canonize/corpus_lines.h"
#include "py/args.h"
#include "py/batch_support.h"
#include "py/errors.h"
#include "py/functions.h"

namespace tolva::py {
namespace {

PyObject* wrap_line_output(const CorpusLine& line, const CorpusLineOutput& output, LineProduct product) {
  switch (output.kind) {
    case CorpusLineOutput::Kind::Written:
      if (product == LineProduct::Key) return make_pair(make_str(output.name), make_str(output.text));
      return make_str(output.text);
    case CorpusLineOutput::Kind::Failed:
      return make_pair(make_str(output.name), new_exception(PyExc_ValueError, output.error->display()));
    case CorpusLineOutput::Kind::Unread:
      break;
  }
  return make_pair(PyLong_FromSize_t(line.index),
                 PyBytes_FromStringAndSize(line.text.data(), static_cast<Py_ssize_t>(line.text.size())));
}

bool convert_product(PyObject* value, LineProduct& out) {
  std::string name;
  if (!convert_str_or(value, "product", "cgraph", name)) return false;
  if (name == "cgraph") {
    out = LineProduct::CgraphLine;
  } else if (name == "order") {
    out = LineProduct::OrderLine;
  } else if (name == "json") {
    out = LineProduct::JsonLine;
  } else if (name == "json_order") {
    out = LineProduct::JsonOrderLine;
  } else if (name == "key") {
    out = LineProduct::Key;
  } else {
    PyErr_Format(PyExc_ValueError,
                 "argument 'product': expected 'cgraph', 'order', 'json', 'json_order' or 'key', got %R", value);
    return false;
  }
  return true;
}

}  // namespace

PyObject* outputs_of_jsonl(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"chunk",        "product",  "candidate_rule", "branch_rule",
                                             "allow_hashes", "compress", "compact",        "workers"};
    PyObject* bound[8];
    if (!bind_arguments("outputs_of_jsonl", args, kwargs, kNames, 1, bound)) return nullptr;
    if (!PyBytes_Check(bound[0])) {
      raise_cast_error("chunk", bound[0], "bytes");
      return nullptr;
    }
    CorpusLineSettings settings;
    BatchMode mode{1, true};
    if (!convert_product(bound[1], settings.product) ||
        !convert_str_or(bound[2], "candidate_rule", kDefaultCandidateRule, settings.candidate_rule) ||
        !convert_str_or(bound[3], "branch_rule", kDefaultBranchRule, settings.branch_rule) ||
        !convert_bool_or(bound[4], "allow_hashes", kDefaultAllowHashes, settings.allow_hashes) ||
        !convert_bool_or(bound[5], "compress", kDefaultCompress, settings.compress) ||
        !convert_bool_or(bound[6], "compact", kDefaultCompact, settings.compact) ||
        !convert_workers(bound[7], mode.workers))
      return nullptr;
    char* bytes = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(bound[0], &bytes, &size) < 0) return nullptr;
    // The caller's reference keeps the (immutable) bytes alive while the lock is released.
    std::vector<CorpusLine> lines = graph_lines_of_chunk(std::string_view(bytes, static_cast<std::size_t>(size)));
    std::vector<CorpusLineOutput> outputs(lines.size());
    BatchRun run;
    bool ran = run_unlocked(lines.size(), mode, [&](std::size_t i, const CallControls& controls) {
      try {
        outputs[i] = output_of_corpus_line(lines[i].text, settings, controls);
      } catch (...) {
        outputs[i] = CorpusLineOutput{};  // Unread: the caller's reader reports it
      }
      return true;
    }, run);
    if (!ran) return nullptr;
    PyObject* list = PyList_New(static_cast<Py_ssize_t>(lines.size()));
    if (list == nullptr) return nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      PyObject* item = wrap_line_output(lines[i], outputs[i], settings.product);
      if (item == nullptr || PyList_SetItem(list, static_cast<Py_ssize_t>(i), item) < 0) {
        Py_DECREF(list);
        return nullptr;
      }
    }
    return list;
  });
}

PyObject* line_end_count(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"data"};
    PyObject* bound[1];
    if (!bind_arguments("line_end_count", args, kwargs, kNames, 1, bound)) return nullptr;
    PyObject* data = bound[0];
    if (!PyBytes_Check(data)) {
      raise_cast_error("data", data, "bytes");
      return nullptr;
    }
    char* bytes = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(data, &bytes, &size) < 0) return nullptr;
    return PyLong_FromSize_t(tolva::line_end_count(std::string_view(bytes, static_cast<std::size_t>(size))));
  });
}

}  // namespace tolva::py
