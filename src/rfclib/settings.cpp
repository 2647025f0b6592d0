// Reads RfcStandin.ini; a missing, odd or oversized file leaves the defaults in force.
#include "rfclib/settings.h"

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/file_names.h"

namespace rfclib {

Timeouts ReadTimeouts(const std::string &path) {
  std::string content;
  if (rfcfiles::ReadRegularFile(path, rfcfiles::kLargestSettingsFile, content) !=
      rfcfiles::FileRead::Ok) {
    return kDefaultTimeouts;
  }
  return rfcfiles::ParseTimeLimits(content, kDefaultTimeouts);
}

} // namespace rfclib
