// The state of one run of the sensor, held by the driver's run functions, and what the single-
// profile run and the global listing run share.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "checks/checks.h"
#include "driver/options.h"
#include "output/result_document.h"
#include "platform/platform.h"
#include "profile/profile.h"
#include "rfc/rfc_session.h"

namespace kestrovan {

inline constexpr std::string_view kProgramName = "Kestrovan";
inline constexpr std::string_view kVersionText = "Vers 4.3 / 29.08.22";

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

struct Run {
  Run(Platform &platform, RfcBinder binder) : os(platform), rfc(platform, std::move(binder)) {}

  Platform &os;
  std::string program;         // the program's own path, as the command line gives it
  std::string start_time;      // hh:mm:ss of the start
  std::string banner;          // "* hh:mm:ss SAP Kestrovan Vers ..."
  std::string sensor_argument; // the second argument: the global sensor a listing names
  ProfileLocation profile;
  RunOptions options;
  bool console = false; // decided by the command line alone
  bool global_listing = false;
  OutputMode mode = OutputMode::EXEXML;
  RfcSession rfc;
};

/// Everything from the command line to the open profile: where the profile lies, the options, the
/// flavour. Returns the profile of a single-profile run; a global listing run reads its file
/// itself. Error endings print their document and throw.
std::unique_ptr<TextSource> StartUp(Run &run, const std::vector<std::string> &args);

/// Lines of the listing files are read in pieces of at most this many characters.
inline constexpr std::size_t kListingPiece = 199;

/// How a global listing run names the channel of each system.
enum class EntryKind { Profile, Alias, Host, Sid };

/// What a global listing run walks: the entries, each ended by "#", the channel it reports and
/// how the channels are named.
struct GlobalSelection {
  std::string listing;
  std::string item;
  EntryKind kind = EntryKind::Profile;
};

/// Reads the selection from "SAP Tessaloy.Gbl" or "Tessaloy.Prf". A listing file's extension text
/// replaces the options from here on; sensor_argument is the global sensor as the command line
/// names it, for the message when it is not found. Errors end the run with their document.
GlobalSelection ReadServerListing(Platform &os, const ProfileLocation &profile, RunOptions &options,
                                  const std::string &sensor_argument);

/// The global listing run: every system of the listing checked, one channel each, a summary.
int GlobalListingRun(Run &run);

/// System information, the Oracle check and missing indices on an open connection, which is
/// closed after. A failed system information call or a database that is not Oracle ends the run
/// with its error document (exit code 2); a failed missing-indices check is returned. The system's
/// own host name becomes the display host; heard learns the counts before the tables go.
CheckResult<IndexCounts> CheckConnectedSystem(RfcSession &rfc, RFC_HANDLE handle,
                                              std::string &display_host,
                                              const CountsHeard &heard = {});

/// "* time entry, host, destination, sysnr, client": the system a run is working on.
std::string SystemLine(const SystemValues &system, const std::string &time,
                       const std::string &entry);

/// "\n* time SAP Kestrovan now processed...\n", with the time taken anew.
std::string EndLine(Platform &os);

} // namespace kestrovan
