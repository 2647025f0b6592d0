// The global server listing: which profiles a global listing run walks, its item and options.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "state/run_state.h"

/// Lines of the listing files are read in pieces of at most this many characters.
inline constexpr std::size_t kListingPiece = 199;
/// The global sensor name takes part in the comparison with this many characters.
inline constexpr std::size_t kGlobalSensorNameWidth = 10;
/// The sensor allocation that ties a global sensor to this program.
inline constexpr std::string_view kSensorAllocation = "Sensor=\"SAP Kestrovan\"";

/// The global sensor's name from the option text: up to its first blank, upper-cased, padded
/// with blanks to 10 characters (a longer one stays whole).
std::string GlobalSensorName(const RunState &state);

/// Reads ServerListing, ItemName, EntryKind and, from a global listing file, OptionText, which
/// then replaces the option text for the rest of the run. Errors end the run with their document.
void ReadServerListing(RunState &state);
