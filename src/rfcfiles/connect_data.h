// RfcOpenEx's connect data: the connect text, and the destination's entry in SapRfc.ini.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace rfcfiles {

/// Keys in upper case (they are case-insensitive); values exactly as given.
using ConnectValues = std::map<std::string, std::string>;

/// KEY=value pairs separated by blanks (space, tab, line ends); a key is letters, digits and
/// '_'; a value with blanks is written in double quotes. A later key wins over an earlier one.
/// A problem never quotes a value, since one of them is the password.
bool ParseConnectText(std::string_view text, ConnectValues &values, std::string &problem);

/// The entry whose DEST= value equals `destination` exactly (the first such entry), from
/// SapRfc.ini text: KEY=value lines up to the next DEST= line, keys upper-cased, keys and values
/// trimmed; lines starting with '*' or '#' and /* ... */ comments (also across lines) are
/// skipped; within an entry a later key wins. False when there is no such entry. DEST itself is
/// not a value of the entry.
bool FindDestinationEntry(std::string_view content, std::string_view destination,
                          ConnectValues &entry);

/// The keys of a destination entry for secure (SNC) and routed logons, which SAP's NetWeaver
/// library takes under the same names.
inline constexpr std::array<const char *, 6> kSecureAndRoutedKeys = {
    "SNC_MODE", "SNC_PARTNERNAME", "SNC_QOP", "SNC_MYNAME", "SNC_LIB", "SAPROUTER"};

/// A host with a route in front of it, as the classic library took it ("/H/router/S/3299/H/
/// host"): the route, up to the last hop, and the last hop's host. A plain host has no route.
struct RoutedHost {
  std::string router;
  std::string host;
};
RoutedHost SplitRoute(const std::string &host);

/// The text with every router password of a route ("/W/secret", up to the next "/", blank or
/// the end) made asterisks, so that a route can be written where a password may not be.
std::string MaskRoutePasswords(std::string text);

/// Replaces every occurrence of the logon password in the text by as many asterisks: a partner
/// or a library may repeat it in any text that is written down.
void MaskPassword(std::string &text, std::string_view password);

} // namespace rfcfiles
