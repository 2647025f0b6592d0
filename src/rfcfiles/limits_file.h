// The time-limits files of the libraries (the stand-in's RfcStandin.ini, the binding's
// NwRfcLimits.ini): CONNECT_TIMEOUT=, CALL_TIMEOUT= and CONNECTION_TIMEOUT= lines.
#pragma once

#include <chrono>
#include <string_view>

namespace rfcfiles {

struct TimeLimits {
  /// Bounds the open: the TCP connect and the logon answer.
  std::chrono::milliseconds connect{0};
  /// Bounds each remote operation on an open connection.
  std::chrono::milliseconds call{0};
  /// Bounds a connection as a whole, from the start of its open: every wait is cut to what is
  /// left of it.
  std::chrono::milliseconds connection{0};
};

/// The limits of the text over `defaults`: keys in any case, blanks around key and value;
/// comments start with '#', '*' or ';'; unusable values and unknown keys are ignored.
TimeLimits ParseTimeLimits(std::string_view text, TimeLimits defaults);

/// "5", "5s", "2.5s" (at most three decimals, seconds only) or "500ms", between 1 ms and one
/// hour; false for anything else.
bool ParseDuration(std::string_view text, std::chrono::milliseconds &duration);

} // namespace rfcfiles
