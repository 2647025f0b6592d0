// The binding's failure record: what RfcLastError hands out and the block the trace file gets.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "rfcapi/nwrfc_api.h"
#include "rfcapi/rfc_api.h"
#include "rfcfiles/error_keys.h"

namespace kestrovan::nwbinding {

// Keys of the failures the binding finds itself, in the classic library's style: the ones every
// library of the program writes.
using rfcfiles::kKeyCommunication;
using rfcfiles::kKeyConfiguration;
using rfcfiles::kKeyHandle;
using rfcfiles::kKeyInternal;
using rfcfiles::kKeyParameter;
using rfcfiles::kKeyProtocol;

/// The NetWeaver name of a return code ("RFC_COMMUNICATION_FAILURE"), for texts.
std::string_view NwRcName(nwrfc::Rc code);

/// The classic error record from a NetWeaver one: key, code name as status, message, and the
/// operation with the error group (and an ABAP message's id) as internal status; each text in
/// 8-bit characters, cut to its field and zero-terminated. The password, if given and found in
/// a text of the library, is masked.
RFC_ERROR_INFO ClassicErrorRecord(const nwrfc::ErrorInfo &error, std::string_view operation,
                                  std::string_view password = {});

/// A UTF-16 field of the library's error record in 8-bit characters, up to its terminator.
std::string NarrowField(const char16_t *text, std::size_t units);

/// Copies text into a classic fixed-size field: cut to size - 1 and zero-filled.
void CopyText(char *target, std::size_t size, std::string_view text);

/// The last failure and the trace it leaves. A trace file that cannot be written is skipped:
/// tracing must never become a failure of its own.
class NwErrorLog {
public:
  /// Starts afresh for a library of this release ("7500,0,0"); the trace goes through `files`.
  void Reset(Platform *files, std::string release);

  /// Records a failure the binding found itself.
  void Own(std::string_view operation, std::string_view where, std::string_view key,
           std::string_view reason, std::string_view detail, int rc = RFC_FAILURE);

  /// Records a failure the NetWeaver library reported; `reason` replaces its message on the
  /// trace's ERROR line when the binding knows better (its own timeout), `note` leads the
  /// detail. A message of keyed lines (SAP's network layer) is written as lines of the block,
  /// its ERROR value on the block's ERROR line. The password is masked in every text and line of
  /// the library.
  void FromLibrary(std::string_view operation, std::string_view where,
                   const nwrfc::ErrorInfo &error, int rc, std::string_view password,
                   std::string_view reason = {}, std::string_view note = {});

  const RFC_ERROR_INFO &Last() const { return last_; }

private:
  struct Report {
    RFC_ERROR_INFO record{};
    std::string location;
    std::string error;
    std::string detail;
    std::vector<std::string> library_lines;
    int rc = RFC_FAILURE;
  };

  void Keep(const Report &report);

  Platform *files_ = nullptr;
  RFC_ERROR_INFO last_{};
  unsigned counter_ = 0;
  std::string release_ = "0,0,0";
};

} // namespace kestrovan::nwbinding
