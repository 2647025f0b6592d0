// Opening the RFC connection to one system from its profile values.
#pragma once

#include "rfcapi/rfc_api.h"
#include "state/run_state.h"

/// The library's user field is 12 characters: shorter users are padded with blanks.
inline constexpr std::size_t kUserFieldWidth = 12;
/// The library's password field is 10 characters: shorter passwords are padded with blanks.
inline constexpr std::size_t kPasswordFieldWidth = 10;

/// Opens by connect text when "SapRfc.<destination>" exists in the working directory (after
/// copying it to "SapRfc.ini"), else from an options record. Returns 0 when nothing was opened.
RFC_HANDLE OpenConnection(RunState &state);

/// The value of an option such as ",HOST=" as typed, up to the next comma, blank or the end;
/// nullopt when the option is absent.
std::optional<std::string> OptionValue(const RunState &state, std::string_view keyword);
