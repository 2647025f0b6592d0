// Opening the RFC connection to one system from its profile values.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "profile/profile.h"
#include "session/rfc_session.h"

namespace kestrovan {

/// The library's user field is 12 characters: shorter users are padded with blanks.
inline constexpr std::size_t kUserFieldWidth = 12;
/// The library's password field is 10 characters: shorter passwords are padded with blanks.
inline constexpr std::size_t kPasswordFieldWidth = 10;

/// A host and system number given for the run (",HOST=", ",NO="), which win over the profile's.
struct ConnectionOverrides {
  std::optional<std::string> hostname;
  std::optional<std::string> sysnr;
};

/// Opens by connect text when "SapRfc.<destination>" exists in the working directory (after
/// copying it to "SapRfc.ini"), else from an options record. Returns 0 when nothing was opened.
RFC_HANDLE OpenConnection(RfcSession &rfc, const ConnectionParameters &profile,
                          const ConnectionOverrides &overrides);

/// After an open that returned 0: whether the library is the built-in test library, which
/// refuses a partner that is not on this machine before sending anything to it and says so by
/// the key of its last error. SAP's libraries have no such key.
bool RefusedByTestLibrary(RfcSession &rfc);

} // namespace kestrovan
