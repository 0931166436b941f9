#include "py/pickling.h"

namespace tolva::py {

PyObject* reduce_value(PyObject* self, const char* method, PyObject* args) {
  PyObject* rebuild = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(self)), method);
  if (rebuild == nullptr) return nullptr;
  PyObject* packed = PyTuple_Check(args) ? (Py_INCREF(args), args) : PyTuple_Pack(1, args);
  PyObject* reduced = packed == nullptr ? nullptr : PyTuple_Pack(2, rebuild, packed);
  Py_XDECREF(packed);
  Py_DECREF(rebuild);
  return reduced;
}

}  // namespace tolva::py
