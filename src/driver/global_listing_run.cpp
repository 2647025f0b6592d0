// The walk over the systems of a global server listing.
#include "driver/global_listing_run.h"

#include <cstdint>

#include "driver/console_lines.h"
#include "profile/profile.h"
#include "platform/text_pieces.h"
#include "driver/server_listing.h"
#include "driver/system_checks.h"
#include "output/error_ending.h"
#include "output/log_lines.h"
#include "output/result_document.h"
#include "rfc/error_report.h"
#include "rfc/library_binding.h"
#include "rfc/open_connection.h"

namespace {

constexpr char kEntryEnd = '#';
/// An alias is the entry without its extension (".P00").
constexpr std::size_t kExtensionLength = 4;

struct Counts {
  std::uint32_t NoSystems = 0;
  std::uint32_t Processed = 0;
  std::uint32_t Failed = 0;
};

/// The options as the start line shows them: ":" made blanks, cut before a blank followed by "@".
std::string ShownOptions(const std::string &options) {
  std::string shown = options;
  for (char &c : shown) {
    if (c == ':') c = ' ';
  }
  return shown.substr(0, shown.find(" @"));
}

std::string ChannelNameFor(const RunState &state, const std::string &entry) {
  switch (state.Kind) {
  case EntryKind::Alias:
    // An entry too short to carry an extension keeps its whole name rather than none.
    return entry.size() > kExtensionLength ? entry.substr(0, entry.size() - kExtensionLength)
                                           : entry;
  case EntryKind::Host:
    return state.Connection.hostname;
  case EntryKind::Sid:
    return state.Connection.destination;
  case EntryKind::Profile:
    break;
  }
  return entry;
}

/// Connects to one system and runs both checks; returns whether the system was processed.
/// The error endings of a run of one system end the whole walk.
bool CheckOneSystem(RunState &state, bool profile_valid) {
  InstallErrorHandler(state);
  state.ResultDocument.clear();
  state.RunStatus = "ERR";
  const RFC_HANDLE handle = OpenConnection(state);
  if (handle == 0) return false;

  CheckConnectedSystem(state, handle);
  return profile_valid && state.RunStatus == "OK";
}

} // namespace

void GlobalListingRun(RunState &state) {
  ReadServerListing(state);
  EnsureRfcLibrary(state);
  OpenLogStream(state);
  Counts counts;

  if (state.ConsoleMode) {
    state.os.WriteStdout(state.BannerLine + "\n");
    state.os.WriteStdout("* " + state.StartTime + " " + ShownOptions(state.ParameterString) +
                         " State=Executing\n");
  }
  BeginDocument(state);
  state.os.WriteStdout(state.ResultDocument + "\n");
  state.ResultDocument.clear();

  const std::string &listing = state.ServerListing;
  std::size_t next = 0;
  while (next < listing.size()) {
    ++counts.NoSystems;
    const std::size_t end = listing.find(kEntryEnd, next);
    // A last entry without its closing "#" still names a system.
    const std::string entry =
        listing.substr(next, end == std::string::npos ? std::string::npos : end - next);
    next = end == std::string::npos ? listing.size() : end + 1;

    const auto profile = state.os.ReadText(state.ProfileDirectory + entry);
    if (!profile) continue;
    state.ProfileName = entry;
    TextPieces text(*profile);
    bool profile_valid =
        kestrovan::ReadProfile(text, kestrovan::kGlobalProfilePiece, kestrovan::ProfileReading::ContinueAfter,
                               state.ProfileName, state.Connection, state.DisplayHost)
            .valid;
    if (!kestrovan::CheckProfile(state.Connection, state.ProfileName).empty()) profile_valid = false;

    state.SystemChannelName = ChannelNameFor(state, entry);
    const std::string system_line =
        state.ConsoleMode ? SystemLine(state, TimeOfDay(state), entry) : "";

    const bool processed = CheckOneSystem(state, profile_valid);
    if (processed)
      ++counts.Processed;
    else
      ++counts.Failed;
    if (state.ConsoleMode)
      state.os.WriteStdout("\n" + system_line +
                           " State=" + (processed ? "Processed" : "Rfc Failure") + "\n");
  }

  // A failure text the last system left behind is not part of the summary.
  state.ResultDocument.clear();
  BeginText(state);
  state.ResultDocument += "(***) " + state.ItemName +
                          ": NoSystems=" + std::to_string(counts.NoSystems) +
                          ", Processed=" + std::to_string(counts.Processed) +
                          ", Failed=" + std::to_string(counts.Failed);
  EndText(state);
  EndDocument(state);
  state.os.WriteStdout(state.ResultDocument + "\n");
  if (state.ConsoleMode) state.os.WriteStdout(EndLine(state));
  throw RunEnded{kExitDone};
}
