// The one include of the Python C API for tolva's binding: fixes the limited
// API level (stable ABI, Python 3.10 and later) before Python.h is read.
#pragma once

#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x030A0000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>
