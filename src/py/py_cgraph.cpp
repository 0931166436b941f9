#include "py/py_cgraph.h"

#include <functional>
#include <memory>
#include <string_view>

#include "py/args.h"
#include "py/errors.h"
#include "py/pickling.h"

namespace tolva::py {
namespace {

struct PyCGraphObject {
  PyObject_HEAD
  std::string* text;
};

const std::string& text_of(PyObject* self) { return *reinterpret_cast<PyCGraphObject*>(self)->text; }

// A new instance of `type` (the PyCGraph type) owning `text`.
PyObject* wrap_cgraph_as(PyObject* type, std::string text) {
  auto owned = std::make_unique<std::string>(std::move(text));
  PyObject* object = PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(type), 0);
  if (object == nullptr) return nullptr;
  reinterpret_cast<PyCGraphObject*>(object)->text = owned.release();
  return object;
}

PyObject* refuse_construction(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "cannot create 'PyCGraph' instances; use to_cgraph_py");
  return nullptr;
}

void dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  delete reinterpret_cast<PyCGraphObject*>(self)->text;
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

PyObject* as_text(PyObject* self) {
  return guarded([&]() -> PyObject* { return make_str(text_of(self)); });
}

PyObject* as_str(PyObject* self, PyObject*) { return as_text(self); }

// PyCGraph('<the text as a Python str literal>').
PyObject* repr(PyObject* self) {
  return guarded([&]() -> PyObject* {
    PyObject* text = make_str(text_of(self));
    if (text == nullptr) return nullptr;
    PyObject* shown = PyUnicode_FromFormat("PyCGraph(%R)", text);
    Py_DECREF(text);
    return shown;
  });
}

// Equal texts, equal hashes; deterministic across processes.
Py_hash_t hash(PyObject* self) {
  auto value = static_cast<Py_hash_t>(std::hash<std::string_view>{}(text_of(self)));
  return value == -1 ? -2 : value;
}

// Two PyCGraph compare by their texts' bytes (so results sort); anything
// else is not comparable with one.
PyObject* compare(PyObject* self, PyObject* other, int op) {
  if (Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
  int order = text_of(self).compare(text_of(other));
  bool result = false;
  switch (op) {
    case Py_LT: result = order < 0; break;
    case Py_LE: result = order <= 0; break;
    case Py_EQ: result = order == 0; break;
    case Py_NE: result = order != 0; break;
    case Py_GT: result = order > 0; break;
    case Py_GE: result = order >= 0; break;
    default: Py_RETURN_NOTIMPLEMENTED;
  }
  return PyBool_FromLong(result);
}

// The inverse of __reduce__: a PyCGraph holding `text` (a str).
PyObject* from_text(PyObject* type, PyObject* text) {
  return guarded([&]() -> PyObject* {
    std::string value;
    if (!convert_str(text, "text", value)) return nullptr;
    return wrap_cgraph_as(type, std::move(value));
  });
}

// Pickling (and copy): rebuilt from the text by the class's _from_text.
PyObject* reduce(PyObject* self, PyObject*) {
  return guarded([&]() -> PyObject* {
    PyObject* text = make_str(text_of(self));
    if (text == nullptr) return nullptr;
    PyObject* reduced = reduce_value(self, "_from_text", text);
    Py_DECREF(text);
    return reduced;
  });
}

PyMethodDef methods[] = {
    {"as_str", as_str, METH_NOARGS, "as_str($self)\n--\n\nThe canonical string, as str() gives it."},
    {"__reduce__", reduce, METH_NOARGS, "__reduce__($self)\n--\n\nPickles the canonical string."},
    {"_from_text", from_text, METH_O | METH_CLASS,
     "_from_text($type, text, /)\n--\n\nThe PyCGraph holding `text`; used by pickle."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_str, reinterpret_cast<void*>(as_text)},
    {Py_tp_repr, reinterpret_cast<void*>(repr)},
    {Py_tp_hash, reinterpret_cast<void*>(hash)},
    {Py_tp_richcompare, reinterpret_cast<void*>(compare)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>(
        "A canonical string, made by to_cgraph_py. str() and as_str() give the text; two\n"
        "PyCGraph compare and hash by their texts (bytewise order, so results sort), and\n"
        "pickle and copy by the text.")},
    {0, nullptr},
};

PyType_Spec type_spec = {"tolva._tolva.PyCGraph", sizeof(PyCGraphObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* create_cgraph_type(PyObject*) { return PyType_FromSpec(&type_spec); }

PyObject* wrap_cgraph(ModuleState* state, std::string text) {
  return wrap_cgraph_as(state->cgraph_type, std::move(text));
}

}  // namespace tolva::py
