// Signals while native code runs for Python.
//
// A single call keeps the interpreter lock, so it can run Python's signal
// handlers itself: its StopControl polls PyErr_CheckSignals, and when a
// handler raises (KeyboardInterrupt on Ctrl-C), the computation stops and the
// handler's exception is what the call raises. A batch runs without the lock;
// its calling thread takes the lock back between waits to do the same.
//
//   StopControl stop = signal_stop();
//   auto result = to_cgraph(..., CallControls{TraceSettings::watching(stop), &stop});
//   if (!result) return raise_failure(result.error());   // the handler's exception, if any
#pragma once

#include "error/stop_control.h"
#include "py/python_api.h"

namespace tolva::py {

// A stop control that runs pending signal handlers (the caller holds the
// interpreter lock) and stops when one of them raised.
StopControl signal_stop();

// For a thread that has released the interpreter lock with `saved`: takes the
// lock back, runs pending signal handlers, releases it again. True when a
// handler raised; its exception stays pending on this thread.
bool handler_raised_without_lock(PyThreadState*& saved);

}  // namespace tolva::py
