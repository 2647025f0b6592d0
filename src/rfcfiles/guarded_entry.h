// The guarded C entry points of the classic interface: no C++ exception leaves through it, and
// the error handler is called only after the work is done, with nothing half-updated.
#pragma once

#include <array>
#include <exception>
#include <new>

#include "rfcapi/rfc_api.h"

namespace rfcfiles {

/// Calls the program's error handler, if one is installed, with a writable copy of the
/// operation's name. The handler may throw: that unwinds from here to the program with nothing
/// of the library's left in between.
inline void CallErrorHandler(RFC_ERROR_HANDLER handler, const char *operation) {
  if (handler == nullptr) {
    return;
  }
  std::array<char, 64> name{};
  for (std::size_t i = 0; i + 1 < name.size() && operation[i] != '\0'; ++i) {
    name[i] = operation[i];
  }
  handler(name.data());
}

/// Runs work(violation): a C++ exception of the library's own (in practice memory exhausted)
/// becomes `failed`, recorded through record(operation, what); when the work set `violation`
/// (the partner broke the protocol) the handler that handler() names is called afterwards.
template <typename Result, typename Work, typename Record, typename Handler>
Result Guarded(const char *operation, Result failed, Work work, Record record, Handler handler) {
  Result result = failed;
  bool violation = false;
  try {
    result = work(violation);
  } catch (const std::bad_alloc &) {
    record(operation, "out of memory");
    result = failed;
  } catch (const std::exception &error) {
    record(operation, error.what());
    result = failed;
  }
  if (violation) {
    CallErrorHandler(handler(), operation);
  }
  return result;
}

} // namespace rfcfiles
