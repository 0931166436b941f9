// How C++ outcomes become Python exceptions. Every entry point of the module
// runs its body inside `guarded`, so no C++ exception ever unwinds into the
// interpreter:
//   std::bad_alloc          -> MemoryError
//   any other exception     -> tolva._tolva.InternalError (a BaseException)
// and a TolvaError returned by the core becomes ValueError(display text).
//
//   return guarded([&]() -> PyObject* {
//     auto result = tolva::to_cgraph(...);
//     if (!result) return raise_tolva_error(result.error());
//     return make_str(*result);
//   });
#pragma once

#include <exception>
#include <new>
#include <string_view>

#include "error/exception_state.h"
#include "error/tolva_error.h"
#include "py/python_api.h"

namespace tolva::py {

// Raises ValueError carrying the error's display text; returns nullptr. An
// Interrupted error means a signal handler stopped the call: the exception it
// raised is already pending and stays.
PyObject* raise_tolva_error(const TolvaError& error);

// A new exception object of `type` with this (UTF-8) message, or nullptr.
PyObject* new_exception(PyObject* type, std::string_view text);

// The exception object for a C++ exception caught elsewhere (a batch worker):
// MemoryError for std::bad_alloc, InternalError otherwise, the message
// starting with `prefix`. nullptr (with an error set) only when even that fails.
PyObject* exception_for(const std::exception_ptr& thrown, std::string_view prefix);

// Raises ValueError with this (UTF-8) text; returns nullptr.
PyObject* raise_value_error(std::string_view text);

// Raises the module's InternalError with this message; returns nullptr.
PyObject* raise_internal_error(std::string_view message);

template <typename Body>
PyObject* guarded(Body&& body) noexcept {
  prepare_exception_state();
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::exception& error) {
    return raise_internal_error(error.what());
  } catch (...) {
    return raise_internal_error("unknown C++ exception");
  }
}

}  // namespace tolva::py
