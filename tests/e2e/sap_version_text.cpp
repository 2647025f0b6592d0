// A few exports of our own with SAP's version text, for a library in tests that is taken for SAP's
// and needs another that the system's search cannot find.
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
