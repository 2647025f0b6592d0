// The table through which the sensor reaches the RFC library, so another library can be bound in.
#pragma once

#include "rfcapi/rfc_api.h"

namespace kestrovan {

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
};

/// The library linked into this executable (the bundled stand-in).
const RfcLibrary &LinkedRfcLibrary();

} // namespace kestrovan
