// The version text of SAP's own library, for a copy of the NetWeaver stand-in that is to be taken
// for SAP's library (its own RfcGetVersion is renamed away when this copy is built).
#include "rfcapi/nwrfc_api.h"

extern "C" {

__attribute__((visibility("default"))) const nwrfc::Unit *NWRFC_CALL
RfcGetVersion(unsigned *major, unsigned *minor, unsigned *patch) {
  if (major) {
    *major = 7500;
  }
  if (minor) {
    *minor = 0;
  }
  if (patch) {
    *patch = 6;
  }
  return u"7500.0.6";
}

} // extern "C"
