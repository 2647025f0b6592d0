// Reading RfcOpenEx's connect text and saprfc.ini destination entries into key/value settings.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace rfclib {

/// Keys in upper case (they are case-insensitive); values exactly as given.
using Settings = std::map<std::string, std::string>;

/// Blank-separated KEY=value pairs; a value with blanks is written in double quotes.
/// Problems never quote values, since one of them is the password.
bool ParseConnectText(std::string_view text, Settings &settings, std::string &problem);

/// The destination file RfcOpenEx reads from the working directory (a lower-case name is tried
/// too).
inline constexpr const char *kDestinationFileName = "SapRfc.ini";
inline constexpr const char *kDestinationFileLowerName = "saprfc.ini";

/// Finds the entry whose DEST= value equals destination (case-sensitive) in saprfc.ini text.
/// Comments: lines starting with * or #, and /* ... */ even across lines.
bool FindDestination(std::string_view content, std::string_view destination, Settings &entry);

} // namespace rfclib
