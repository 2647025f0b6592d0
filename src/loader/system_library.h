// The RFC library of this system: on 32-bit Windows SAP's classic librfc32.dll, else (or when
// chosen) SAP's NetWeaver RFC library through the binding; on Linux SAP's NetWeaver library
// wherever it is found, else the linked stand-in.
#pragma once

#include <string>
#include <string_view>

#include "rfcapi/rfc_library.h"

namespace kestrovan {

/// The classic library file the 32-bit Windows program loads first, found by the normal Windows
/// search (the program's folder first, then the system folders).
inline constexpr std::string_view kRfcLibraryFile = "librfc32.dll";
/// SAP's NetWeaver RFC library: loaded when the classic one cannot be, and by the 64-bit program.
#ifdef _WIN32
inline constexpr std::string_view kNwRfcLibraryFile = "sapnwrfc.dll";
#else
inline constexpr std::string_view kNwRfcLibraryFile = "libsapnwrfc.so";
#endif
/// A file of this name beside the program selects the bundled stand-in instead.
inline constexpr std::string_view kStandinSwitchFile = "Kestrovan.RfcStandin";
/// A file of this name beside the program selects the NetWeaver library even when the classic
/// one is there (on Linux: a missing libsapnwrfc.so is then an error, not the linked stand-in).
inline constexpr std::string_view kNwRfcSwitchFile = "Kestrovan.NwRfc";

/// What the RFC library writes to standard error goes to this file in the working directory,
/// beside the trace file; the program's own standard error stays empty.
inline constexpr std::string_view kLibraryStandardErrorFile = "Rfc_Stderr.Log";

/// The library to use, or null with the reason in *problem.
const RfcLibrary *SystemRfcLibrary(std::string *problem);

} // namespace kestrovan
