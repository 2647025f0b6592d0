// What the NetWeaver binding reads from the working directory itself: its time limits, and the
// per-destination SapRfc.ini entry of the classic library (the NetWeaver library reads only its
// own sapnwrfc.ini format).
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <string_view>

namespace kestrovan {

/// The binding's settings file, read from the working directory at every open.
inline constexpr std::string_view kNwRfcLimitsFile = "NwRfcLimits.ini";

/// The NetWeaver library has no call timeout of its own: these bound every remote operation.
/// With the defaults a run of one system ends within about 46 s, inside a monitor's usual 60 s.
struct NwRfcLimits {
  /// Bounds RfcOpenConnection (TCP connect and logon).
  std::chrono::milliseconds connect{10000};
  /// Bounds each remote operation on an open connection (a function lookup, a call).
  std::chrono::milliseconds call{20000};
  /// Bounds a connection as a whole, from the start of its open: every wait is cut to what is
  /// left of it.
  std::chrono::milliseconds connection{45000};
};

/// CONNECT_TIMEOUT=, CALL_TIMEOUT= and CONNECTION_TIMEOUT= lines (keys in any case) over the
/// defaults; comments start with '#', '*' or ';'; unusable values and unknown keys are ignored.
NwRfcLimits ParseNwRfcLimits(std::string_view text);

/// "5", "5s", "2.5s" or "500ms": between 1 ms and one hour.
bool ParseLimitDuration(std::string_view text, std::chrono::milliseconds &duration);

/// Keys upper-cased (they are case-insensitive), values as written.
using ConnectValues = std::map<std::string, std::string>;

/// The classic connect text: blank-separated KEY=value pairs, a value with blanks in double
/// quotes. A problem never quotes a value, since one of them is the password.
bool ParseConnectText(std::string_view text, ConnectValues &values, std::string &problem);

/// The classic destination file the binding reads (the lower-case name is tried too).
inline constexpr std::string_view kDestinationFile = "SapRfc.ini";
inline constexpr std::string_view kDestinationFileLower = "saprfc.ini";

/// The entry whose DEST= value equals `destination` exactly, from saprfc.ini text: KEY=value
/// lines up to the next DEST=; lines starting with '*' or '#' and /* ... */ comments (also across
/// lines) are skipped. False when there is no such entry.
bool FindDestinationEntry(std::string_view content, std::string_view destination,
                          ConnectValues &entry);

} // namespace kestrovan
