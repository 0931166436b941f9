#include "py/py_cgraph.h"

#include <memory>

#include "py/args.h"
#include "py/errors.h"

namespace tolva::py {
namespace {

struct PyCGraphObject {
  PyObject_HEAD
  std::string* text;
};

const std::string& text_of(PyObject* self) { return *reinterpret_cast<PyCGraphObject*>(self)->text; }

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

PyMethodDef methods[] = {
    {"as_str", as_str, METH_NOARGS, "as_str($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_str, reinterpret_cast<void*>(as_text)},
    {Py_tp_repr, reinterpret_cast<void*>(as_text)},
    {Py_tp_methods, methods},
    {Py_tp_doc, const_cast<char*>("")},
    {0, nullptr},
};

PyType_Spec type_spec = {"tolva._tolva.PyCGraph", sizeof(PyCGraphObject), 0, Py_TPFLAGS_DEFAULT, slots};

}  // namespace

PyObject* create_cgraph_type(PyObject*) { return PyType_FromSpec(&type_spec); }

PyObject* wrap_cgraph(ModuleState* state, std::string text) {
  auto owned = std::make_unique<std::string>(std::move(text));
  PyObject* object = PyType_GenericAlloc(reinterpret_cast<PyTypeObject*>(state->cgraph_type), 0);
  if (object == nullptr) return nullptr;
  reinterpret_cast<PyCGraphObject*>(object)->text = owned.release();
  return object;
}

}  // namespace tolva::py
