// Makes the calling thread ready to throw when memory has run out.
//
// The C++ runtime keeps each thread's exception state in thread-local storage.
// When the runtime library is loaded into a process at run time (as with a
// Python extension), that storage is allocated on the thread's first throw;
// if that first throw is a std::bad_alloc from an exhausted heap, the
// allocation fails too and the runtime aborts the whole process instead of
// letting the exception reach its handler. Calling this at the start of every
// entry point and worker thread allocates the state while memory is still
// there; later calls cost one thread-local read.
//
//   void worker() {
//     prepare_exception_state();
//     try { heavy_work(); } catch (const std::bad_alloc&) { report(); }
//   }
#pragma once

namespace tolva {

void prepare_exception_state() noexcept;

}  // namespace tolva
