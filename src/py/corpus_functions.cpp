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
// outputs_of_jsonl_stream does the same for a stream of chunks, keeping its
// threads busy from one chunk to the next: while they compute a chunk, the
// calling thread reads the next one from `chunks` and hands the last one on.
//
//   outputs_of_jsonl_stream([("first", b'{"name":"x","nodes":[],"edges":[]}\n'), ("no data", None)],
//                           lambda tag, items: print(tag, items))
//   -> prints first ['x\t\n'], then no data None
//
//   line_end_count(b'a\nb\n')  -> 2
#include <array>
#include <chrono>
#include <deque>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "canonize/batch_stream.h"
#include "canonize/corpus_lines.h"
#include "py/args.h"
#include "py/batch_support.h"
#include "py/errors.h"
#include "py/functions.h"
#include "py/signals.h"

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

// product, candidate_rule, branch_rule, allow_hashes, compress, compact, workers.
bool convert_line_settings(PyObject* const* bound, CorpusLineSettings& settings, BatchMode& mode) {
  return convert_product(bound[0], settings.product) &&
         convert_str_or(bound[1], "candidate_rule", kDefaultCandidateRule, settings.candidate_rule) &&
         convert_str_or(bound[2], "branch_rule", kDefaultBranchRule, settings.branch_rule) &&
         convert_bool_or(bound[3], "allow_hashes", kDefaultAllowHashes, settings.allow_hashes) &&
         convert_bool_or(bound[4], "compress", kDefaultCompress, settings.compress) &&
         convert_bool_or(bound[5], "compact", kDefaultCompact, settings.compact) &&
         convert_workers(bound[6], mode.workers);
}

// The items of a chunk's outputs, in order (see outputs_of_jsonl).
PyObject* wrap_outputs(const std::vector<CorpusLine>& lines, const std::vector<CorpusLineOutput>& outputs,
                       LineProduct product) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(lines.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    PyObject* item = wrap_line_output(lines[i], outputs[i], product);
    if (item == nullptr || PyList_SetItem(list, static_cast<Py_ssize_t>(i), item) < 0) {
      Py_DECREF(list);
      return nullptr;
    }
  }
  return list;
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
    if (!convert_line_settings(bound + 1, settings, mode)) return nullptr;
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
    return wrap_outputs(lines, outputs, settings.product);
  });
}

namespace {

// The chunks held at once: the one the threads compute and the next, read
// meanwhile, so that the threads go from one to the other without a pause.
constexpr std::size_t kChunksInFlight = 2;

// A chunk taken from the stream: its tag and bytes (references held), its
// lines, and their outputs once its batch has ended.
struct StreamedChunk {
  PyObject* tag = nullptr;
  PyObject* data = nullptr;  // null: handed on with None
  std::vector<CorpusLine> lines;
  std::vector<CorpusLineOutput> outputs;
  std::size_t batch = 0;

  StreamedChunk() = default;
  StreamedChunk(const StreamedChunk&) = delete;
  StreamedChunk& operator=(const StreamedChunk&) = delete;
  ~StreamedChunk() {
    Py_XDECREF(tag);
    Py_XDECREF(data);
  }
};

// One item of the stream, a (tag, bytes or None) pair; null with TypeError set
// for anything else. A chunk whose lines find no memory is handed on with None,
// as is a chunk given without bytes: the caller reads its lines itself.
std::unique_ptr<StreamedChunk> take_streamed_chunk(PyObject* item) {
  if (!PyTuple_Check(item) || PyTuple_Size(item) != 2) {
    raise_cast_error("chunks", item, "tuple[object, bytes | None]");
    return nullptr;
  }
  PyObject* data = PyTuple_GetItem(item, 1);
  if (data != Py_None && !PyBytes_Check(data)) {
    raise_cast_error("chunks", data, "bytes");
    return nullptr;
  }
  auto chunk = std::make_unique<StreamedChunk>();
  chunk->tag = PyTuple_GetItem(item, 0);
  Py_INCREF(chunk->tag);
  if (data == Py_None) return chunk;
  char* bytes = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(data, &bytes, &size) < 0) return nullptr;
  try {
    chunk->lines = graph_lines_of_chunk(std::string_view(bytes, static_cast<std::size_t>(size)));
    chunk->outputs.resize(chunk->lines.size());
  } catch (const std::bad_alloc&) {
    chunk->lines = {};
    chunk->outputs = {};
    return chunk;
  }
  Py_INCREF(data);
  chunk->data = data;
  return chunk;
}

// Waits for `batch` to end, running signal handlers between slices without
// the interpreter lock; false when a handler raised (its exception pending).
bool wait_for_batch(BatchStream& stream, std::size_t batch) {
  if (stream.wait_for(batch, std::chrono::milliseconds(0))) return true;
  PyThreadState* saved = PyEval_SaveThread();
  bool raised = false;
  while (!stream.wait_for(batch, std::chrono::milliseconds(50))) {
    if (handler_raised_without_lock(saved)) {
      raised = true;
      break;
    }
  }
  PyEval_RestoreThread(saved);
  return !raised;
}

// stream.add(count) with the interpreter lock released; an exception (no
// memory to queue the batch) is raised again once the lock is held.
void add_without_lock(BatchStream& stream, std::size_t count) {
  std::exception_ptr thrown;
  PyThreadState* saved = PyEval_SaveThread();
  try {
    stream.add(count);
  } catch (...) {
    thrown = std::current_exception();
  }
  PyEval_RestoreThread(saved);
  if (thrown) std::rethrow_exception(thrown);
}

// Calls handle(tag, items) for the oldest chunk, whose batch has ended, and
// lets it go (items None when they find no memory); false with the error set
// when that fails.
bool hand_on(std::deque<std::unique_ptr<StreamedChunk>>& held, PyObject* handle, LineProduct product) {
  std::unique_ptr<StreamedChunk> chunk = std::move(held.front());
  held.pop_front();
  PyObject* items = chunk->data == nullptr ? Py_NewRef(Py_None) : wrap_outputs(chunk->lines, chunk->outputs, product);
  if (items == nullptr && PyErr_ExceptionMatches(PyExc_MemoryError)) {
    // No memory for the chunk's items as a whole: the caller reads its lines one by one.
    PyErr_Clear();
    items = Py_NewRef(Py_None);
  }
  if (items == nullptr) return false;
  PyObject* tag = Py_NewRef(chunk->tag);
  chunk.reset();  // the outputs are in `items` now
  PyObject* result = PyObject_CallFunctionObjArgs(handle, tag, items, nullptr);
  Py_DECREF(tag);
  Py_DECREF(items);
  if (result == nullptr) return false;
  Py_DECREF(result);
  return true;
}

// An exception taken out of the interpreter to be raised later (or dropped).
class PendingError {
 public:
  PendingError() = default;
  PendingError(const PendingError&) = delete;
  PendingError& operator=(const PendingError&) = delete;
  ~PendingError() {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(traceback_);
  }

  void take() { PyErr_Fetch(&type_, &value_, &traceback_); }
  // Raises it again; false when none was taken.
  bool raise() {
    if (type_ == nullptr) return false;
    PyErr_Restore(type_, value_, traceback_);
    type_ = value_ = traceback_ = nullptr;
    return true;
  }

 private:
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* traceback_ = nullptr;
};

// One outputs_of_jsonl_stream call: the chunks it holds, in order, and the
// threads computing them.
class JsonlStreamRun {
 public:
  JsonlStreamRun(const CorpusLineSettings& settings, unsigned workers)
      : settings_(settings),
        trace_(env_switch_on("TOLVA_TRACE")),
        trace_magnet_(env_switch_on("TOLVA_TRACE_MAGNET")),
        stream_(workers, [this](std::size_t batch, std::size_t i, StopControl& stop, RewriteScratch& scratch) {
          compute(*by_batch_[batch % by_batch_.size()], i, stop, scratch);
        }) {}

  // Hands on every chunk of `iterator` to `handle`; false with the Python error set.
  bool run(PyObject* iterator, PyObject* handle) {
    bool exhausted = false;
    while (true) {
      // A chunk done is handed on before the next is read: a slow reader
      // does not hold back lines already made.
      bool oldest_ended = !held_.empty() && stream_.wait_for(held_.front()->batch, std::chrono::milliseconds(0));
      if (!oldest_ended && !exhausted && held_.size() < kChunksInFlight) {
        PyObject* item = PyIter_Next(iterator);
        if (item == nullptr) {
          // An Exception of the stream's own (a read that failed) comes after
          // the chunks taken before it, as reading in turn would give it;
          // anything else (KeyboardInterrupt) stops at once.
          if (PyErr_Occurred() && !PyErr_ExceptionMatches(PyExc_Exception)) return false;
          if (PyErr_Occurred()) failure_.take();
          exhausted = true;
        } else if (!add(item)) {
          return false;
        }
        continue;
      }
      if (held_.empty()) return !failure_.raise();
      if (!oldest_ended && !wait_for_batch(stream_, held_.front()->batch)) return false;
      if (!hand_on(held_, handle, settings_.product)) return false;
    }
  }

 private:
  void compute(StreamedChunk& chunk, std::size_t i, StopControl& stop, RewriteScratch& scratch) const {
    GraphTraceBuffer lines;
    CallControls controls{TraceSettings::fixed(trace_, trace_magnet_, lines), &stop, &scratch};
    try {
      chunk.outputs[i] = output_of_corpus_line(chunk.lines[i].text, settings_, controls);
    } catch (...) {
      chunk.outputs[i] = CorpusLineOutput{};  // Unread: the caller's reader reports it
    }
  }

  // Takes `item` (a new reference) and starts its batch; false with the error set.
  bool add(PyObject* item) {
    std::unique_ptr<StreamedChunk> chunk = take_streamed_chunk(item);
    Py_DECREF(item);
    if (chunk == nullptr) return false;
    // Numbered as the stream numbers its batches, and put in its slot before
    // it is added, when the threads may start on it.
    chunk->batch = batches_added_++;
    by_batch_[chunk->batch % by_batch_.size()] = chunk.get();
    held_.push_back(std::move(chunk));
    // Without the lock: when no thread could be started, add() computes the chunk itself.
    add_without_lock(stream_, held_.back()->lines.size());
    return true;
  }

  const CorpusLineSettings& settings_;
  bool trace_;
  bool trace_magnet_;
  std::deque<std::unique_ptr<StreamedChunk>> held_;  // in stream order
  // A batch's chunk by its number: a slot is taken again only after its batch has ended.
  std::array<StreamedChunk*, kChunksInFlight + 1> by_batch_{};
  std::size_t batches_added_ = 0;
  PendingError failure_;
  // Last, so that its threads are joined before the chunks they read go.
  BatchStream stream_;
};

}  // namespace

PyObject* outputs_of_jsonl_stream(PyObject* /*module*/, PyObject* args, PyObject* kwargs) {
  return guarded([&]() -> PyObject* {
    static constexpr const char* kNames[] = {"chunks",       "handle",         "product",
                                             "candidate_rule", "branch_rule", "allow_hashes",
                                             "compress",     "compact",        "workers"};
    PyObject* bound[9];
    if (!bind_arguments("outputs_of_jsonl_stream", args, kwargs, kNames, 2, bound)) return nullptr;
    if (!PyCallable_Check(bound[1])) {
      raise_cast_error("handle", bound[1], "callable");
      return nullptr;
    }
    CorpusLineSettings settings;
    BatchMode mode{1, true};
    if (!convert_line_settings(bound + 2, settings, mode)) return nullptr;
    std::unique_ptr<PyObject, void (*)(PyObject*)> iterator(PyObject_GetIter(bound[0]),
                                                            [](PyObject* held) { Py_XDECREF(held); });
    if (iterator == nullptr) return nullptr;
    if (!JsonlStreamRun(settings, mode.workers).run(iterator.get(), bound[1])) return nullptr;
    Py_RETURN_NONE;
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
