// Start-up: the program's file names and flavour switches, what start-up decides for the rest of
// the run, and the search that finds the profile.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kestrovan_version.h"

#include "driver/endings.h"
#include "driver/options.h"
#include "output/result_document.h"
#include "platform/platform.h"

namespace kestrovan {

inline constexpr std::string_view kProgramName = "Kestrovan";
/// The banner's version text, made in cmake/version.cmake with the
/// Windows programs' version resources.
inline constexpr std::string_view kVersionText = KESTROVAN_VERSION_TEXT;

inline constexpr std::string_view kInstallPathFile = "C:\\PRTG_Path.Txt";
/// "C:\PRTG_Path.Txt" is read in pieces of at most this many characters.
inline constexpr std::size_t kInstallPathPiece = 99;
inline constexpr std::string_view kGlobalListingFile = "SAP Tessaloy.Gbl";
inline constexpr std::string_view kItemRouteFile = "Tessaloy.Prf";

/// The files in the working directory that switch a further output flavour on, in the order in
/// which they are examined: with several present, the last one wins.
struct FlavourSwitch {
  std::string_view file;
  OutputMode mode;
};
inline constexpr FlavourSwitch kFlavourSwitches[] = {
    {"Kestrovan.Vintrel", OutputMode::Vintrel},
    {"Kestrovan.Halcrest", OutputMode::Halcrest},
    {"Kestrovan.Morvane", OutputMode::Morvane},
    {"Kestrovan.Pellith", OutputMode::Pellith},
};

/// Where the profile (or the listing file) of the run was found.
struct ProfileLocation {
  std::string directory; // with its final "\", or empty for the working directory
  std::string name;
  std::string path;
};

/// What start-up decided for the rest of the run.
struct RunSetup {
  std::string program;         // the program's own path, as the command line gives it
  std::string start_time;      // hh:mm:ss of the start
  std::string banner;          // "* hh:mm:ss SAP Kestrovan Vers ..."
  std::string sensor_argument; // the second argument: the global sensor a listing names
  ProfileLocation profile;
  RunOptions options;
  bool console = false; // decided by the command line alone
  bool global_listing = false;
  OutputMode mode = OutputMode::EXEXML;
};

/// Start-up's findings and the open profile of a single-profile run (a global listing run reads
/// its file itself).
struct StartedUp {
  RunSetup setup;
  std::unique_ptr<TextSource> profile_text;
};

/// Everything from the command line to the open profile: where the profile lies, the options, the
/// flavour.
OrEnding<StartedUp> StartUp(Platform &os, const std::vector<std::string> &args);

} // namespace kestrovan
