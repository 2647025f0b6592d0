// One run of the sensor after start-up, and what the single-profile run and the global listing
// run share.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kestrovan_version.h"

#include "checks/checks.h"
#include "driver/options.h"
#include "output/result_document.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "rfc/rfc_session.h"

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

/// The values of the system being worked on. A global listing run carries them from one profile
/// to the next: a profile overwrites only the fields it names.
struct SystemValues {
  ConnectionParameters connection;
  std::string display_host; // the profile's host until the system names its own
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

/// A run that ends with an error document showing this text (exit code 2).
struct ErrorEnding {
  std::string text;
};

/// How a run ends short of its result: an error document, or the RFC library's error block
/// (exit code 1). One place of the driver writes it.
using RunEnding = std::variant<ErrorEnding, RfcAbort>;

/// What a step of the run found, or the error document that ends the run there.
template <typename Found> using OrEnding = std::variant<Found, ErrorEnding>;

/// Start-up's findings and the open profile of a single-profile run (a global listing run reads
/// its file itself).
struct StartedUp {
  RunSetup setup;
  std::unique_ptr<TextSource> profile_text;
};

/// Everything from the command line to the open profile: where the profile lies, the options, the
/// flavour.
OrEnding<StartedUp> StartUp(Platform &os, const std::vector<std::string> &args);

/// A run after start-up: what start-up decided, the session with the library, and when the run
/// began, from which its time limit counts.
struct Run {
  Run(Platform &platform, RunSetup run_setup, RfcBinder binder, RunClock::time_point began)
      : os(platform), setup(std::move(run_setup)), rfc(platform, std::move(binder)),
        started(began) {}

  Platform &os;
  RunSetup setup;
  RfcSession rfc;
  RunClock::time_point started;
  /// When the run's time is up; set with its options, by PrepareSession.
  RunClock::time_point deadline = RunClock::time_point::max();
};

/// Lines of the listing files are read in pieces of at most this many characters.
inline constexpr std::size_t kListingPiece = 199;

/// How a global listing run names the channel of each system.
enum class EntryKind { Profile, Alias, Host, Sid };

/// What a global listing run walks: the entries, each ended by "#", the channel it reports, how
/// the channels are named, and the options from here on.
struct GlobalSelection {
  std::string listing;
  std::string item;
  EntryKind kind = EntryKind::Profile;
  RunOptions options;
};

/// Reads the selection from "SAP Tessaloy.Gbl" or "Tessaloy.Prf". A listing file's extension text
/// replaces the options given; sensor_argument is the global sensor as the command line names it,
/// for the message when it is not found.
OrEnding<GlobalSelection> ReadServerListing(Platform &os, const ProfileLocation &profile,
                                            const RunOptions &options,
                                            const std::string &sensor_argument);

/// The global listing run: every system of the listing checked, one channel each, a summary.
/// Returns what ended it early, or nothing when the walk completed.
std::optional<RunEnding> GlobalListingRun(Run &run);

/// Binds the library for a run that has its options, and sets the run's deadline, which the
/// session keeps as well; the ending when no library can be used.
std::optional<RunEnding> PrepareSession(Run &run, const RunOptions &options);

/// "Error 1032: ...": the built-in test library refused the system because it is not on this
/// machine.
std::string TestLibraryText(const std::string &destination);

/// "* time entry, host, destination, sysnr, client": the system a run is working on.
std::string SystemLine(const SystemValues &system, const std::string &time,
                       const std::string &entry);

/// "\n* time SAP Kestrovan now processed...\n", with the time taken anew.
std::string EndLine(Platform &os);

} // namespace kestrovan
