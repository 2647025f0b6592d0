// NwRfcLimits.ini: every limit read is the default or lies within 1 ms .. 3600 s, a changed limit
// was named in the text, and a duration that parses reads back the same in milliseconds.
#include <chrono>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "platform/text_pieces.h"
#include "rfc/nwrfc_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  const kestrovan::NwRfcLimits defaults;
  const kestrovan::NwRfcLimits read = kestrovan::ParseNwRfcLimits(text);
  const std::string upper = kestrovan::UpperAscii(text);
  CheckLimit(read.connect, defaults.connect, upper, "CONNECT_TIMEOUT");
  CheckLimit(read.call, defaults.call, upper, "CALL_TIMEOUT");
  CheckLimit(read.connection, defaults.connection, upper, "CONNECTION_TIMEOUT");

  std::chrono::milliseconds duration{-1};
  if (kestrovan::ParseLimitDuration(text, duration)) {
    FUZZ_CHECK(duration >= kLeast && duration <= kMost);
    std::chrono::milliseconds again{-1};
    FUZZ_CHECK(kestrovan::ParseLimitDuration(std::to_string(duration.count()) + "ms", again));
    FUZZ_CHECK(again == duration);
  }
  return 0;
}
