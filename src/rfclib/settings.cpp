// Reads RfcStandin.ini; a missing, odd or oversized file leaves the defaults in force.
#include "rfclib/settings.h"

namespace rfclib {

rfcfiles::StandinSettings ReadSettings(const std::string &path) {
  return rfcfiles::ReadStandinSettings(path, kDefaultTimeouts);
}

Timeouts ReadTimeouts(const std::string &path) { return ReadSettings(path).limits; }

} // namespace rfclib
