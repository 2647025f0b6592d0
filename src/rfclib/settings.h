// The stand-in's own settings file: the time limits that keep every operation from hanging, and
// where it may connect.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "rfcfiles/limits_file.h"
#include "rfcfiles/standin_settings.h"

namespace rfclib {

/// Read from the working directory at every open; the program itself reads no environment.
inline constexpr std::string_view kSettingsFileName = rfcfiles::kStandinSettingsFile;

using Timeouts = rfcfiles::TimeLimits;

/// The connect limit bounds the whole open: name resolution aside, the TCP connect and the
/// logon answer; the call limit each wait for the system inside RfcCall and RfcReceive. With
/// these a run of one system ends within 50 s, inside the monitor's usual 60 s limit for a
/// sensor, however the system misbehaves.
inline constexpr Timeouts kDefaultTimeouts{std::chrono::milliseconds(5000),
                                           std::chrono::milliseconds(20000),
                                           std::chrono::milliseconds(45000)};

/// The defaults and loopback, overridden or widened by the file's lines when it is a regular
/// file of a sensible size.
rfcfiles::StandinSettings ReadSettings(const std::string &path);

/// The time limits of ReadSettings.
Timeouts ReadTimeouts(const std::string &path);

} // namespace rfclib
