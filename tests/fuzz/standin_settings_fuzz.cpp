// RfcStandin.ini: every limit read is the default or lies within 1 ms .. 3600 s, a changed limit
// was named in the text, and a duration that parses prints back to the same value.
#include <chrono>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "rfclib/settings.h"
#include "wire/text_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  const rfclib::Timeouts defaults;
  const rfclib::Timeouts read = rfclib::ParseTimeouts(text);
  const std::string upper = rfcwire::ToUpper(text);
  CheckLimit(read.connect, defaults.connect, upper, "CONNECT_TIMEOUT");
  CheckLimit(read.call, defaults.call, upper, "CALL_TIMEOUT");
  CheckLimit(read.connection, defaults.connection, upper, "CONNECTION_TIMEOUT");

  std::chrono::milliseconds duration{-1};
  if (rfclib::ParseDuration(text, duration)) {
    FUZZ_CHECK(duration >= kLeast && duration <= kMost);
    std::chrono::milliseconds again{-1};
    FUZZ_CHECK(rfclib::ParseDuration(std::to_string(duration.count()) + "ms", again));
    FUZZ_CHECK(again == duration);
  }
  return 0;
}
