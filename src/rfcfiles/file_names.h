// The names of the files the RFC libraries read and write in the working directory.
#pragma once

#include <cstddef>
#include <string_view>

namespace rfcfiles {

/// The trace file a library appends a block to for every failure.
inline constexpr std::string_view kTraceFile = "Dev_Rfc.Trc";
/// The destination file RfcOpenEx reads; the lower-case name is tried when it is missing.
inline constexpr std::string_view kDestinationFile = "SapRfc.ini";
inline constexpr std::string_view kDestinationFileLower = "saprfc.ini";

/// The libraries' settings and destination files hold a few lines; a larger one is not read.
inline constexpr std::size_t kLargestSettingsFile = 1024 * 1024;

} // namespace rfcfiles
