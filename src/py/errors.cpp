#include "py/errors.h"

#include <string>

#include "py/module_state.h"

namespace tolva::py {

PyObject* raise_tolva_error(const TolvaError& error) {
  if (error.kind() == ErrorKind::Interrupted && PyErr_Occurred()) return nullptr;
  return raise_value_error(error.display());
}

PyObject* new_exception(PyObject* type, std::string_view text) {
  PyObject* message = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                           "backslashreplace");
  if (message == nullptr) return nullptr;
  PyObject* exception = PyObject_CallFunctionObjArgs(type, message, nullptr);
  Py_DECREF(message);
  return exception;
}

PyObject* exception_for(const std::exception_ptr& thrown, std::string_view prefix) {
  std::string text(prefix);
  PyObject* type = PyExc_SystemError;
  ModuleState* state = loaded_state();
  try {
    std::rethrow_exception(thrown);
  } catch (const std::bad_alloc&) {
    type = PyExc_MemoryError;
    text += "out of memory";
  } catch (const std::exception& error) {
    if (state && state->internal_error) type = state->internal_error;
    text += "internal error: ";
    text += error.what();
  } catch (...) {
    if (state && state->internal_error) type = state->internal_error;
    text += "internal error: unknown C++ exception";
  }
  return new_exception(type, text);
}

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
