#include "py/args.h"

#include <string_view>

namespace tolva::py {
namespace {

// The __name__ of an object's type, e.g. "int"; "object" if it cannot be read.
std::string type_name(PyObject* value) {
  std::string name = "object";
  PyObject* text = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), "__name__");
  if (text != nullptr && PyUnicode_Check(text)) {
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size)) name.assign(utf8, size);
  }
  Py_XDECREF(text);
  PyErr_Clear();
  return name;
}

// The attribute `attr` of value's type equals `expected` (as a str).
bool type_attribute_is(PyObject* value, const char* attr, std::string_view expected) {
  PyObject* text = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(value)), attr);
  bool equal = false;
  if (text != nullptr && PyUnicode_Check(text)) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size);
    equal = utf8 != nullptr && std::string_view(utf8, size) == expected;
  }
  Py_XDECREF(text);
  PyErr_Clear();
  return equal;
}

bool is_numpy_bool(PyObject* value) {
  return type_attribute_is(value, "__module__", "numpy") &&
         (type_attribute_is(value, "__name__", "bool_") ||
          type_attribute_is(value, "__name__", "bool"));
}

void raise_argument_error(const char* arg, std::string_view reason) {
  std::string text = "argument '" + std::string(arg) + "': " + std::string(reason);
  PyErr_SetString(PyExc_TypeError, text.c_str());
}

// Converts a str to UTF-8; on failure the pending exception is left in place.
bool utf8_of(PyObject* value, std::string& out) {
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(value, &size);
  if (utf8 == nullptr) return false;
  out.assign(utf8, static_cast<std::size_t>(size));
  return true;
}

}  // namespace

bool bind_arguments(const char* function, PyObject* args, PyObject* kwargs,
                    std::span<const char* const> names, std::size_t required,
                    std::span<PyObject*> out) {
  for (PyObject*& slot : out) slot = nullptr;
  Py_ssize_t given = args ? PyTuple_Size(args) : 0;
  if (given < 0) return false;
  if (static_cast<std::size_t>(given) > names.size()) {
    PyErr_Format(PyExc_TypeError, "%s() takes %s %zd positional argument%s (%zd given)", function,
                 required == names.size() ? "exactly" : "at most",
                 static_cast<Py_ssize_t>(names.size()), names.size() == 1 ? "" : "s", given);
    return false;
  }
  for (Py_ssize_t i = 0; i < given; ++i) out[i] = PyTuple_GetItem(args, i);
  if (kwargs != nullptr) {
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &position, &key, &value)) {
      if (!PyUnicode_Check(key)) {
        PyErr_SetString(PyExc_TypeError, "keywords must be strings");
        return false;
      }
      std::size_t index = 0;
      while (index < names.size() && PyUnicode_CompareWithASCIIString(key, names[index]) != 0)
        ++index;
      if (index == names.size()) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function, key);
        return false;
      }
      if (out[index] != nullptr) {
        PyErr_Format(PyExc_TypeError, "argument for %s() given by name ('%s') and position (%zd)",
                     function, names[index], static_cast<Py_ssize_t>(index + 1));
        return false;
      }
      out[index] = value;
    }
  }
  for (std::size_t i = 0; i < required; ++i) {
    if (out[i] == nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zd)", function,
                   names[i], static_cast<Py_ssize_t>(i + 1));
      return false;
    }
  }
  return true;
}

void raise_cast_error(const char* arg, PyObject* value, const char* expected) {
  raise_argument_error(arg, "'" + type_name(value) + "' object cannot be cast as '" + expected + "'");
}

bool convert_str(PyObject* value, const char* arg, std::string& out) {
  if (!PyUnicode_Check(value)) {
    raise_cast_error(arg, value, "str");
    return false;
  }
  return utf8_of(value, out);
}

bool convert_str_view(PyObject* value, const char* arg, std::string_view& out) {
  if (!PyUnicode_Check(value)) {
    raise_cast_error(arg, value, "str");
    return false;
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(value, &size);
  if (utf8 == nullptr) return false;
  out = std::string_view(utf8, static_cast<std::size_t>(size));
  return true;
}

bool convert_optional_str(PyObject* value, const char* arg, std::optional<std::string>& out) {
  out.reset();
  if (value == nullptr || value == Py_None) return true;
  std::string text;
  if (!convert_str(value, arg, text)) return false;
  out = std::move(text);
  return true;
}

bool convert_optional_bool(PyObject* value, const char* arg, std::optional<bool>& out) {
  out.reset();
  if (value == nullptr || value == Py_None) return true;
  if (value == Py_True || value == Py_False) {
    out = value == Py_True;
    return true;
  }
  if (is_numpy_bool(value)) {
    int truth = PyObject_IsTrue(value);
    if (truth < 0) return false;
    out = truth == 1;
    return true;
  }
  raise_cast_error(arg, value, "bool");
  return false;
}

bool convert_str_or(PyObject* value, const char* arg, std::string_view fallback, std::string& out) {
  std::optional<std::string> text;
  if (!convert_optional_str(value, arg, text)) return false;
  out = text ? std::move(*text) : std::string(fallback);
  return true;
}

bool convert_bool_or(PyObject* value, const char* arg, bool fallback, bool& out) {
  std::optional<bool> flag;
  if (!convert_optional_bool(value, arg, flag)) return false;
  out = flag.value_or(fallback);
  return true;
}

bool check_sequence(PyObject* value, const char* arg) {
  if (PyUnicode_Check(value)) {
    raise_argument_error(arg, "Can't extract `str` to `Vec`");
    return false;
  }
  if (!PySequence_Check(value)) {
    raise_cast_error(arg, value, "Sequence");
    return false;
  }
  return true;
}

bool convert_str_list_or(PyObject* value, const char* arg, const std::vector<std::string>& fallback,
                         std::vector<std::string>& out) {
  if (value == nullptr || value == Py_None) {
    out = fallback;
    return true;
  }
  out.clear();
  if (!check_sequence(value, arg)) return false;
  Py_ssize_t count = PySequence_Size(value);
  if (count < 0) return false;
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* item = PySequence_GetItem(value, i);
    if (item == nullptr) return false;
    bool ok = convert_str(item, arg, out.emplace_back());
    Py_DECREF(item);
    if (!ok) return false;
  }
  return true;
}

template <std::size_t N>
bool convert_tuples(PyObject* value, const char* arg, std::vector<std::array<std::string, N>>& out) {
  out.clear();
  if (!check_sequence(value, arg)) return false;
  Py_ssize_t count = PySequence_Size(value);
  if (count < 0) return false;
  out.reserve(static_cast<std::size_t>(count));
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* item = PySequence_GetItem(value, i);
    if (item == nullptr) return false;
    bool ok = true;
    if (!PyTuple_Check(item)) {
      raise_cast_error(arg, item, "tuple");
      ok = false;
    } else if (Py_ssize_t size = PyTuple_Size(item); size != static_cast<Py_ssize_t>(N)) {
      raise_argument_error(arg, "expected tuple of length " + std::to_string(N) +
                                    ", but got tuple of length " + std::to_string(size));
      ok = false;
    } else {
      std::array<std::string, N>& fields = out.emplace_back();
      for (std::size_t f = 0; ok && f < N; ++f) {
        PyObject* field = PyTuple_GetItem(item, static_cast<Py_ssize_t>(f));
        ok = field != nullptr && convert_str(field, arg, fields[f]);
      }
    }
    Py_DECREF(item);
    if (!ok) return false;
  }
  return true;
}

template bool convert_tuples<2>(PyObject*, const char*, std::vector<std::array<std::string, 2>>&);
template bool convert_tuples<3>(PyObject*, const char*, std::vector<std::array<std::string, 3>>&);
template bool convert_tuples<4>(PyObject*, const char*, std::vector<std::array<std::string, 4>>&);

PyObject* make_str(std::string_view text) {
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
}

PyObject* make_str_list(const std::vector<std::string>& items) {
  PyObject* list = PyList_New(static_cast<Py_ssize_t>(items.size()));
  if (list == nullptr) return nullptr;
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = make_str(items[i]);
    if (item == nullptr || PyList_SetItem(list, static_cast<Py_ssize_t>(i), item) < 0) {
      Py_DECREF(list);
      return nullptr;
    }
  }
  return list;
}

PyObject* make_pair(PyObject* first, PyObject* second) {
  if (first == nullptr || second == nullptr) {
    Py_XDECREF(first);
    Py_XDECREF(second);
    return nullptr;
  }
  PyObject* pair = PyTuple_Pack(2, first, second);
  Py_DECREF(first);
  Py_DECREF(second);
  return pair;
}

}  // namespace tolva::py
