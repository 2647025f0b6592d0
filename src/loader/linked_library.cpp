// The library table over the stand-in linked into this executable.
#include "rfcapi/rfc_library.h"

namespace kestrovan {

const RfcLibrary &LinkedRfcLibrary() {
  static const RfcLibrary library = {
      RfcEnvironment, RfcOpen,   RfcOpenEx, RfcInstallStructure, RfcCall,  RfcReceive, ItCreate,
      ItFill,         ItGetLine, ItDelete,  RfcLastError,        RfcClose,
  };
  return library;
}

} // namespace kestrovan
