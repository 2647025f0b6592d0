// Maps Windows paths onto a POSIX directory tree, so the sensor's Windows paths work on Linux.
#pragma once

#include <string>

namespace kestrovan {

/// "X:\rest" -> drive_root/X/rest (X upper-cased); "\rest" -> drive_root/C/rest (C: is the
/// current drive); anything else stays relative to the working directory. Backslashes become
/// slashes. An empty drive_root means "/".
std::string MapWindowsPath(const std::string &path, const std::string &drive_root);

/// The mapped path itself when it exists; otherwise each component is matched without regard
/// to letter case, as Windows finds files, and what cannot be matched is kept as written.
std::string ResolveIgnoringCase(const std::string &posix_path);

} // namespace kestrovan
