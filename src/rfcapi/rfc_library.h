// The table through which the sensor reaches the RFC library, so another library can be bound in.
#pragma once

#include "rfcapi/rfc_api.h"

namespace kestrovan {

/// What a library step waits for, as far as the caller's watchdog is concerned.
enum class RfcWait {
  Logon,  // an open: no connection exists yet that could be cancelled
  Remote, // a call or a receive on an open connection
  Other,  // a step the library gives no limit of its own
};

/// The twelve operations the sensor uses, as function pointers of the library's own types.
struct RfcLibrary {
  void(RFC_CALL *Environment)(RFC_ENV *);
  RFC_HANDLE(RFC_CALL *Open)(RFC_OPTIONS *);
  RFC_HANDLE(RFC_CALL *OpenEx)(const char *, RFC_ERROR_INFO_EX *);
  RFC_RC(RFC_CALL *InstallStructure)(const char *, RFC_TYPE_ELEMENT *, unsigned, RFC_TYPEHANDLE *);
  RFC_RC(RFC_CALL *Call)(RFC_HANDLE, const char *, RFC_PARAMETER *, RFC_TABLE *);
  RFC_RC(RFC_CALL *Receive)(RFC_HANDLE, RFC_PARAMETER *, RFC_TABLE *, char **);
  ITAB_H(RFC_CALL *ItCreate)(char *, unsigned, unsigned, unsigned);
  unsigned(RFC_CALL *ItFill)(ITAB_H);
  void *(RFC_CALL *ItGetLine)(ITAB_H, unsigned);
  int(RFC_CALL *ItDelete)(ITAB_H);
  int(RFC_CALL *LastError)(RFC_ERROR_INFO *);
  void(RFC_CALL *Close)(RFC_HANDLE);

  // Two members of the sensor's own, for a library that bounds its steps by limits of its own
  // but cannot stop itself at them (the NetWeaver binding); null for the classic libraries,
  // whose limits end their calls from inside. Both are called from the run's thread.
  /// How long the step about to start may take from now, in milliseconds; negative for no limit.
  /// Asked while no call runs.
  long long (*StepLimit)(RfcWait wait, RFC_HANDLE handle) = nullptr;
  /// Ends the step running now, which has outrun its limit: it fails as a timeout, sooner when
  /// the library can cancel it, else when it comes back. Safe to call while the step runs on
  /// another thread, also after it has come back.
  void (*Overrun)(RfcWait wait, RFC_HANDLE handle) = nullptr;
};

/// The library linked into this executable (the bundled stand-in).
const RfcLibrary &LinkedRfcLibrary();

} // namespace kestrovan
