// Text between the library's UTF-16 and the system's code page, and the library's error record.
#pragma once

#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "rfcapi/nwrfc_api.h"
#include "wire/text_util.h"

namespace nwrfclib {

using nwrfc::ErrorInfo;
using nwrfc::Rc;
using nwrfc::Unit;

// Names are ASCII; values travel in the system's code page, ISO 8859-1.
std::string Latin1(std::u16string_view text);
std::u16string Wide(std::string_view bytes);
/// The text up to its terminator; empty for null.
std::u16string_view Terminated(const Unit *text);

/// Names are compared in upper case, as SAP writes them.
using rfcwire::ToUpper;

/// Fills the error record (when there is one) and returns the code.
Rc Fill(ErrorInfo *error, Rc code, nwrfc::Group group, std::u16string_view key,
        std::string_view message);
Rc Ok(ErrorInfo *error);
Rc BadHandle(ErrorInfo *error, std::string_view what);
Rc BadParameter(ErrorInfo *error, std::string message);

/// Runs work(): no C++ exception leaves through the C interface.
template <typename Work> Rc Guarded(ErrorInfo *error, Work work) {
  try {
    return work();
  } catch (const std::bad_alloc &) {
    return Fill(error, nwrfc::kMemoryInsufficient, nwrfc::kGroupExternalRuntimeFailure,
                u"RFC_MEMORY_INSUFFICIENT", "out of memory");
  } catch (const std::exception &failure) {
    return Fill(error, nwrfc::kUnknownError, nwrfc::kGroupExternalRuntimeFailure,
                u"RFC_UNKNOWN_ERROR", failure.what());
  }
}

} // namespace nwrfclib
