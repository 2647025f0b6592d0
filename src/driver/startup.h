// Start-up: banner, command line, options, output flavour, and finding the profile.
#pragma once

#include <string>
#include <string_view>

#include "state/run_state.h"

inline constexpr std::string_view kProgramName = "Kestrovan";
inline constexpr std::string_view kVersionText = "Vers 4.3 / 29.08.22";
/// ItemName keeps at most this many characters.
inline constexpr std::size_t kItemNameWidth = 90;
/// "C:\PRTG_Path.Txt" is read in pieces of at most this many characters.
inline constexpr std::size_t kInstallPathPiece = 99;

inline constexpr std::string_view kInstallPathFile = "C:\\PRTG_Path.Txt";
inline constexpr std::string_view kGlobalListingFile = "SAP Tessaloy.Gbl";
inline constexpr std::string_view kItemRouteFile = "Tessaloy.Prf";

/// The files in the working directory that switch a front end's flavour on, in the order in
/// which they are examined: with several present, the last one wins.
struct FrontEndSwitch {
  std::string_view file;
  OutputMode mode;
};
inline constexpr FrontEndSwitch kFrontEndSwitches[] = {
    {"Kestrovan.Vintrel", OutputMode::Vintrel},
    {"Kestrovan.Halcrest", OutputMode::Halcrest},
    {"Kestrovan.Morvane", OutputMode::Morvane},
    {"Kestrovan.Pellith", OutputMode::Pellith},
};

/// What start-up hands on: the profile's text for a single-profile run (unused when
/// state.GlobalListing is set, which re-reads its file itself).
struct StartupResult {
  std::string profile_text;
};

/// Runs every start-up step on state.arguments; error endings throw RunEnded.
StartupResult StartUp(RunState &state);

/// An item name from the text after its keyword: up to a blank, comma or the end, at most 90
/// characters, every ":" made a blank.
std::string ItemNameFrom(std::string_view text);
