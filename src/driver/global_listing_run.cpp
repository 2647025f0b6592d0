// The global listing run: the walk over the systems of the listing, with one channel each and a
// summary at the end.
#include "driver/global_listing_run.h"

#include <algorithm>
#include <cstdint>

#include "driver/server_listing.h"
#include "output/log_lines.h"
#include "session/open_connection.h"

namespace kestrovan {

namespace {

constexpr char kEntryEnd = '#';
/// An alias is the entry without its extension (".P00").
constexpr std::size_t kExtensionLength = 4;

/// The options as the start line shows them: ":" made blanks, cut before a blank followed by "@".
std::string ShownOptions(std::string options) {
  std::ranges::replace(options, ':', ' ');
  return options.substr(0, options.find(" @"));
}

std::string ChannelNameFor(EntryKind kind, const SystemValues &system, const std::string &entry) {
  switch (kind) {
  case EntryKind::Alias:
    // An entry too short to carry an extension keeps its whole name rather than none.
    return entry.size() > kExtensionLength ? entry.substr(0, entry.size() - kExtensionLength)
                                           : entry;
  case EntryKind::Host:
    return system.connection.hostname;
  case EntryKind::Sid:
    return system.connection.destination;
  case EntryKind::Profile:
    break;
  }
  return entry;
}

/// The one channel of a system that the item selects; another item shows none.
void WriteSystemChannel(Platform &os, ResultDocument &document, const std::string &item,
                        const std::string &channel_name, const IndexCounts &counts) {
  std::uint32_t value;
  if (item == kNotDefinedChannel) {
    value = counts.not_defined;
  } else if (item == kMissingChannel) {
    value = counts.missing;
  } else {
    return;
  }
  document.AddChannel(channel_name, std::to_string(value), "");
  os.WriteStdout(document.Take());
}

} // namespace

std::optional<RunEnding> GlobalListingRun(Run &run) {
  Platform &os = run.os;
  const RunSetup &setup = run.setup;
  OrEnding<GlobalSelection> read =
      ReadServerListing(os, setup.profile, setup.options, setup.sensor_argument);
  if (auto *ending = std::get_if<ErrorEnding>(&read)) {
    return std::move(*ending);
  }
  const GlobalSelection selection = std::get<GlobalSelection>(std::move(read));
  const RunOptions &options = selection.options;
  if (auto ending = PrepareSession(run, options)) {
    return ending;
  }

  if (setup.console) {
    os.WriteStdout(setup.banner + "\n");
    os.WriteStdout("* " + setup.start_time + " " + ShownOptions(options.text) +
                   " State=Executing\n");
  }
  ResultDocument document(setup.mode, options.selected_channel);
  document.BeginDocument();
  os.WriteStdout(document.Take() + "\n");

  std::uint32_t systems = 0, processed = 0, failed = 0;
  // Where the run's time limit cut the walk off: the system in flight, or the first entry not
  // taken when the time ran out between systems; and how many entries it left untried.
  std::optional<std::string> cut_off;
  std::uint32_t not_reached = 0;
  SystemValues system;
  const std::string &listing = selection.listing;
  std::size_t next = 0;
  while (next < listing.size()) {
    ++systems;
    const std::size_t end = listing.find(kEntryEnd, next);
    // A last entry without its closing "#" still names a system.
    const std::string entry =
        listing.substr(next, end == std::string::npos ? std::string::npos : end - next);
    next = end == std::string::npos ? listing.size() : end + 1;

    // The walk's own work takes time too (a long listing of profiles that are not there calls
    // no library at all), and a close the time ran out on after its system's channel leaves the
    // session stopped: the next entry is not taken.
    if (!cut_off && (run.rfc.stopped() || RunClock::now() >= run.deadline)) {
      cut_off = entry;
    }
    if (cut_off) {
      ++not_reached;
      ++failed;
      continue;
    }
    const auto profile = os.OpenText(setup.profile.directory + entry);
    if (!profile) {
      continue;
    }
    bool profile_valid = ReadProfile(*profile, kGlobalProfilePiece, ProfileReading::ContinueAfter,
                                     entry, system.connection, system.display_host)
                             .valid;
    if (!CheckProfile(system.connection, entry).empty()) {
      profile_valid = false;
    }

    const std::string channel_name = ChannelNameFor(selection.kind, system, entry);
    const std::string system_line = setup.console ? SystemLine(system, TimeOfDay(os), entry) : "";

    // A system that cannot be opened, or whose check fails, counts as failed; the error endings
    // of a run of one system end the whole walk, after the channels written so far.
    // What became of the system decides whether it counts as failed, cuts the walk off, or ends
    // the whole walk after the channels written so far.
    WalkStep step;
    {
      ErrorHandlerScope handler(run.rfc);
      // The channel is out before the tables and the connection are given back.
      const SystemRun checked =
          CheckSystem(run, system.connection, options.overrides, [&](const IndexCounts &counts) {
            WriteSystemChannel(os, document, selection.item, channel_name, counts);
          });
      if (checked.host) {
        system.display_host = *checked.host;
      }
      const SystemOutcome &outcome = checked.outcome;
      step = WalkRule(outcome, system.connection.destination);
    }
    if (auto *ending = std::get_if<RunEnding>(&step)) {
      return std::move(*ending);
    }
    if (std::holds_alternative<WalkCutOff>(step)) {
      cut_off = entry;
    }
    const bool checked = std::holds_alternative<SystemProcessed>(step);
    const bool system_processed = profile_valid && checked;
    ++(system_processed ? processed : failed);
    if (setup.console) {
      os.WriteStdout("\n" + system_line + " State=" +
                     (cut_off            ? "Time Limit"
                      : system_processed ? "Processed"
                                         : "Rfc Failure") +
                     "\n");
    }
  }

  document.BeginText();
  document.AddText("(***) " + selection.item + ": NoSystems=" + std::to_string(systems) +
                   ", Processed=" + std::to_string(processed) +
                   ", Failed=" + std::to_string(failed));
  if (cut_off) {
    document.AddText(", Time limit of " + std::to_string(options.time_limit_seconds) +
                     " s reached at " + *cut_off + ", Not reached=" + std::to_string(not_reached));
  }
  document.EndText();
  document.EndDocument();
  os.WriteStdout(document.Take() + "\n");
  if (setup.console) {
    os.WriteStdout(EndLine(os));
  }
  return std::nullopt;
}

} // namespace kestrovan
