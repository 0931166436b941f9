#include "py/errors.h"

#include <string>

#include "py/module_state.h"

namespace tolva::py {

PyObject* raise_tolva_error(const TolvaError& error) { return raise_value_error(error.display()); }

PyObject* raise_value_error(std::string_view text) {
  PyObject* message = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                           "backslashreplace");
  if (message == nullptr) return nullptr;
  PyErr_SetObject(PyExc_ValueError, message);
  Py_DECREF(message);
  return nullptr;
}

PyObject* raise_internal_error(std::string_view message) {
  ModuleState* state = loaded_state();
  PyObject* type = state && state->internal_error ? state->internal_error : PyExc_SystemError;
  std::string text = "internal error: " + std::string(message);
  PyObject* value = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                         "backslashreplace");
  if (value == nullptr) return nullptr;
  PyErr_SetObject(type, value);
  Py_DECREF(value);
  return nullptr;
}

}  // namespace tolva::py
