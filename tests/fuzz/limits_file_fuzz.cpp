// The time-limits files (RfcStandin.ini, NwRfcLimits.ini): every limit read is its default or
// lies within 1 ms .. 3600 s and was named in the text, and a duration that parses reads back
// the same in milliseconds.
#include <chrono>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "rfcfiles/limits_file.h"
#include "wire/text_util.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  using std::chrono::milliseconds;
  const rfcfiles::TimeLimits defaults{milliseconds(10000), milliseconds(20000),
                                      milliseconds(45000)};
  const rfcfiles::TimeLimits read = rfcfiles::ParseTimeLimits(text, defaults);
  const std::string upper = rfcwire::ToUpper(text);
  CheckLimit(read.connect, defaults.connect, upper, "CONNECT_TIMEOUT");
  CheckLimit(read.call, defaults.call, upper, "CALL_TIMEOUT");
  CheckLimit(read.connection, defaults.connection, upper, "CONNECTION_TIMEOUT");

  milliseconds duration{-1};
  if (rfcfiles::ParseDuration(text, duration)) {
    FUZZ_CHECK(duration >= kLeast && duration <= kMost);
    milliseconds again{-1};
    FUZZ_CHECK(rfcfiles::ParseDuration(std::to_string(duration.count()) + "ms", again));
    FUZZ_CHECK(again == duration);
  }
  return 0;
}
