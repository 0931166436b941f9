// Argument binding and conversion shared by every function of tolva._tolva.
//
// Each helper returns false (or nullptr) with a Python TypeError already set
// when the argument is unusable, so an entry point reads as a chain of early
// returns:
//
//   static const char* const kNames[] = {"nodes", "edges"};
//   PyObject* bound[2];
//   if (!bind_arguments("graph_from_edges", args, kwargs, kNames, 2, bound)) return nullptr;
//   std::vector<std::array<std::string, 2>> nodes;
//   if (!convert_tuples(bound[0], "nodes", nodes)) return nullptr;
//
// Messages: wrong argument counts and keywords use the interpreter's own
// wording; a conversion failure reads "argument '<name>': <reason>", the
// reason for a wrong type being "'<given>' object cannot be cast as '<expected>'".
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "py/python_api.h"

namespace tolva::py {

// Binds positional and keyword arguments to `names`, the first `required` of
// which are mandatory. Unbound optional parameters are set to nullptr.
// References in `out` are borrowed.
bool bind_arguments(const char* function, PyObject* args, PyObject* kwargs,
                    std::span<const char* const> names, std::size_t required,
                    std::span<PyObject*> out);

// Sets TypeError "argument '<arg>': '<type of value>' object cannot be cast as '<expected>'".
void raise_cast_error(const char* arg, PyObject* value, const char* expected);

// A str argument. Lone surrogates cannot be encoded and raise UnicodeEncodeError.
bool convert_str(PyObject* value, const char* arg, std::string& out);

// A str argument as a view of the str's own UTF-8 form, without a copy: for
// large texts (a DOT file held in a str). The view stays valid while `value`
// lives, so only for the length of the call that bound it.
bool convert_str_view(PyObject* value, const char* arg, std::string_view& out);

// A str argument where None means "use the default".
bool convert_optional_str(PyObject* value, const char* arg, std::optional<std::string>& out);

// A bool argument (bool, or numpy's boolean scalar) where None, or an omitted
// optional argument (nullptr), means "use the default". Ints are refused.
bool convert_optional_bool(PyObject* value, const char* arg, std::optional<bool>& out);

// A str argument where None (or an omitted optional argument) means `fallback`.
bool convert_str_or(PyObject* value, const char* arg, std::string_view fallback, std::string& out);

// A bool argument where None (or an omitted optional argument) means `fallback`.
bool convert_bool_or(PyObject* value, const char* arg, bool fallback, bool& out);

// A sequence (not a str) of str where None (or an omitted optional argument)
// means `fallback`.
bool convert_str_list_or(PyObject* value, const char* arg, const std::vector<std::string>& fallback,
                         std::vector<std::string>& out);

// Checks that `value` is a sequence and not a str (TypeError otherwise).
bool check_sequence(PyObject* value, const char* arg);

// A sequence (not a str) of tuples of exactly N str values.
template <std::size_t N>
bool convert_tuples(PyObject* value, const char* arg, std::vector<std::array<std::string, N>>& out);

extern template bool convert_tuples<2>(PyObject*, const char*,
                                       std::vector<std::array<std::string, 2>>&);
extern template bool convert_tuples<3>(PyObject*, const char*,
                                       std::vector<std::array<std::string, 3>>&);
extern template bool convert_tuples<4>(PyObject*, const char*,
                                       std::vector<std::array<std::string, 4>>&);

// New str object from UTF-8 text (invalid bytes are shown escaped, never lost).
PyObject* make_str(std::string_view text);

// New list of str.
PyObject* make_str_list(const std::vector<std::string>& items);

// New tuple (first, second), taking over both references; either may be
// nullptr (a failed conversion, the error set), and then so is the result.
PyObject* make_pair(PyObject* first, PyObject* second);

}  // namespace tolva::py
