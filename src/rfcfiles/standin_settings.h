// The stand-ins' own settings file, RfcStandin.ini: the classic stand-in's time limits and the
// test networks both stand-ins may send a logon to besides this machine.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "rfcfiles/limits_file.h"
#include "wire/address_range.h"

namespace rfcfiles {

/// Read from the working directory at every open; the stand-ins read no environment.
inline constexpr std::string_view kStandinSettingsFile = "RfcStandin.ini";

/// The error key with which a stand-in refuses a partner outside its reach, so that the program
/// can tell the user that it runs on the built-in test library rather than SAP's.
inline constexpr std::string_view kTestLibraryKey = "RFC_ERROR_TEST_LIBRARY";

/// Test networks beyond this many are ignored: the list stays small whatever the file holds.
inline constexpr std::size_t kMostTestNetworks = 256;

struct StandinSettings {
  TimeLimits limits;
  /// Loopback, and the networks of the file's TEST_NETWORK= lines.
  rfcwire::Reach reach;
  /// LOGON_RECORD=: a file the NetWeaver stand-in appends the logon parameters it receives to
  /// (the password as "(- secret -)"), so tests see what reached the library; empty for none.
  std::string logon_record;
};

/// The settings of the text over the default limits: the limit keys as ParseTimeLimits reads
/// them, and TEST_NETWORK= lines (key in any case, as often as wanted), each a list of addresses
/// or networks ("192.0.2.7", "192.0.2.0/24", "fd00::/8") separated by commas or blanks. An entry
/// that is not an address is ignored: it allows nothing. The last LOGON_RECORD= line names the
/// logon record.
StandinSettings ParseStandinSettings(std::string_view text, TimeLimits defaults);

/// Reads kStandinSettingsFile in the working directory; a missing, odd or oversized file leaves
/// the defaults and loopback alone.
StandinSettings ReadStandinSettings(const std::string &path, TimeLimits defaults);

/// An IPv4 address in dotted decimal or an IPv6 address in hexadecimal groups (with at most one
/// "::"), optionally followed by "/" and a prefix length (0..32, 0..128); a lone address is a
/// network of one.
bool ParseAddressRange(std::string_view text, rfcwire::AddressRange &range);

} // namespace rfcfiles
