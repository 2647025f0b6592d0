// The stand-in's own settings file: the time limits that keep every operation from hanging.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "rfcfiles/limits_file.h"

namespace rfclib {

/// Read from the working directory at every open; the program itself reads no environment.
inline constexpr std::string_view kSettingsFileName = "RfcStandin.ini";

using Timeouts = rfcfiles::TimeLimits;

/// The connect limit bounds the whole open: name resolution aside, the TCP connect and the
/// logon answer; the call limit each wait for the system inside RfcCall and RfcReceive. With
/// these a run of one system ends within 50 s, inside the monitor's usual 60 s limit for a
/// sensor, however the system misbehaves.
inline constexpr Timeouts kDefaultTimeouts{std::chrono::milliseconds(5000),
                                           std::chrono::milliseconds(20000),
                                           std::chrono::milliseconds(45000)};

/// The defaults, overridden by the file's lines when it is a regular file of a sensible size.
Timeouts ReadTimeouts(const std::string &path);

} // namespace rfclib
