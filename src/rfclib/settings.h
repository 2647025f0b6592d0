// The stand-in's own settings file: the time limits that keep every operation from hanging.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace rfclib {

/// Read from the working directory at every open; the program itself reads no environment.
inline constexpr const char *kSettingsFileName = "RfcStandin.ini";

struct Timeouts {
  /// Bounds the whole open: name resolution aside, the TCP connect and the logon answer.
  std::chrono::milliseconds connect{5000};
  /// Bounds each wait for the system inside RfcCall and RfcReceive.
  std::chrono::milliseconds call{20000};
  /// Bounds the connection as a whole, from the start of the open to the close: every wait is cut
  /// to what remains. With the defaults a run of one system ends within 50 s, inside the
  /// monitor's usual 60 s limit for a sensor, however the system misbehaves.
  std::chrono::milliseconds connection{45000};
};

/// Defaults, overridden by CONNECT_TIMEOUT=, CALL_TIMEOUT= and CONNECTION_TIMEOUT= lines of the
/// file when it exists.
Timeouts ReadTimeouts(const std::string &path);

/// The same for the file's text.
Timeouts ParseTimeouts(std::string_view content);

/// "5", "5s", "2.5s" or "500ms"; between 1 ms and one hour.
bool ParseDuration(std::string_view text, std::chrono::milliseconds &duration);

} // namespace rfclib
