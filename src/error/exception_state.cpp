#include "error/exception_state.h"

#include <exception>

namespace tolva {

// Asking for the exception being handled reads the runtime's per-thread
// exception globals, which brings them into being. (std::uncaught_exceptions
// would too, but it is declared pure, so a call whose result goes unused may
// be dropped by the compiler.)
void prepare_exception_state() noexcept { static_cast<void>(std::current_exception()); }

}  // namespace tolva
