// The RFC library of this system: SAP's librfc32.dll on Windows, the linked stand-in elsewhere.
#pragma once

#include <string>
#include <string_view>

#include "rfc/rfc_library.h"

/// The library file the Windows program loads, found by the normal Windows search (the
/// program's folder first, then the system folders).
inline constexpr std::string_view kRfcLibraryFile = "librfc32.dll";
/// A file of this name beside the Windows program selects the bundled stand-in instead.
inline constexpr std::string_view kStandinSwitchFile = "Kestrovan.RfcStandin";

/// The library to use, or null with the reason in *problem.
const RfcLibrary *SystemRfcLibrary(std::string *problem);
