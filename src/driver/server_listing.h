// The listing files of a global listing run: what the walk goes over, read from
// "SAP Tessaloy.Gbl" or "Tessaloy.Prf".
#pragma once

#include <string>

#include "driver/endings.h"
#include "driver/options.h"
#include "driver/startup.h"
#include "platform/platform.h"

namespace kestrovan {

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

} // namespace kestrovan
