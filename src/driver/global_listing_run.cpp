// The global listing run: which profiles the listing names, and the walk over their systems with
// one channel each and a summary at the end.
#include <algorithm>
#include <cstdint>

#include "driver/run.h"
#include "output/log_lines.h"
#include "rfc/open_connection.h"

namespace kestrovan {

namespace {

/// The global sensor name takes part in the comparison with this many characters.
constexpr std::size_t kGlobalSensorNameWidth = 10;
/// The sensor allocation that ties a global sensor to this program.
constexpr std::string_view kSensorAllocation = "Sensor=\"SAP Kestrovan\"";

// "# GSNG: NAME      value": the key, the global sensor's name padded to ten characters, and
// the listing from column 20; "# GSNX: " lines carry the extension from column 19.
constexpr std::string_view kListingKey = "# GSNG: ";
constexpr std::string_view kExtensionKey = "# GSNX: ";
constexpr std::size_t kKeyedPrefixWidth = 18;
constexpr std::size_t kListingValueColumn = 20;
constexpr std::size_t kExtensionValueColumn = 19;
constexpr std::string_view kItemRouteKey = "# Gsng: ";

constexpr char kEntryEnd = '#';
/// An alias is the entry without its extension (".P00").
constexpr std::size_t kExtensionLength = 4;

struct KindKeyword {
  std::string_view keyword;
  EntryKind kind;
};
// Searched in this order: a later one found wins.
constexpr KindKeyword kKindKeywords[] = {
    {",Profile", EntryKind::Profile},
    {",Alias", EntryKind::Alias},
    {",Host", EntryKind::Host},
    {",Sid", EntryKind::Sid},
};

std::string From(const std::string &line, std::size_t column) {
  return line.size() > column ? line.substr(column) : std::string();
}

/// Each line of a listing file without its line end.
template <typename Handle> void ForEachLine(TextSource &text, Handle handle) {
  std::string line;
  while (text.Next(kListingPiece, &line)) {
    if (line.ends_with('\r')) {
      line.pop_back();
    }
    StripLineFeed(&line);
    handle(line);
  }
}

/// The global sensor's name from the option text: up to its first blank, upper-cased, padded
/// with blanks to 10 characters, of which the comparison takes ten.
std::string GlobalSensorName(const RunOptions &options) {
  std::string name = options.upper.substr(0, options.upper.find(' '));
  name.resize(kGlobalSensorNameWidth, ' ');
  return name;
}

OrEnding<GlobalSelection> Checked(GlobalSelection selection) {
  if (selection.listing.empty()) {
    return ErrorEnding{"Error 1025: Global Server Listing missing..."};
  }
  if (selection.item.empty()) {
    return ErrorEnding{"Error 1026: Global Item Idenification missing..."};
  }
  return selection;
}

/// "SAP Tessaloy.Gbl": the listing of the global sensor the options name, and its extension text,
/// which replaces the run's options from here on (but for a time limit the command line gives).
OrEnding<GlobalSelection> ReadListingRoute(Platform &os, const ProfileLocation &profile,
                                           const RunOptions &options,
                                           const std::string &sensor_argument) {
  const std::string name = GlobalSensorName(options);
  const auto text = os.OpenText(profile.path);
  if (!text) {
    return ErrorEnding{"Error 10x1: ProFile " + profile.name + " is missing..."};
  }

  const std::string listing_prefix = std::string(kListingKey) + name;
  const std::string extension_prefix = std::string(kExtensionKey) + name;
  GlobalSelection selection;
  bool found = false;
  bool allocation_invalid = false;
  std::string item_text;
  std::string option_text;
  ForEachLine(*text, [&](const std::string &line) {
    if (allocation_invalid) {
      return;
    }
    const std::string upper = UpperAscii(line.substr(0, kKeyedPrefixWidth));
    if (upper == listing_prefix) {
      selection.listing += From(line, kListingValueColumn);
    }
    if (upper != extension_prefix) {
      return;
    }

    const std::string extension = From(line, kExtensionValueColumn);
    // The first extension line without the allocation ends the reading.
    if (extension.find(kSensorAllocation) == std::string::npos) {
      allocation_invalid = true;
      return;
    }
    item_text = extension;
    option_text = extension.substr(0, extension.find(",Sensor="));
    std::ranges::replace(option_text, ':', ' ');
    for (const KindKeyword &kind : kKindKeywords) {
      if (line.find(kind.keyword) != std::string::npos) {
        selection.kind = kind.kind;
      }
    }
    found = true;
  });
  if (allocation_invalid) {
    return ErrorEnding{"Error 1029: Invalid Sensor-Allocation..."};
  }

  constexpr std::string_view item_keyword = "Item=";
  const std::size_t item_at = item_text.find(item_keyword);
  if (item_at != std::string::npos) {
    selection.item =
        ItemNameFrom(std::string_view(item_text).substr(item_at + item_keyword.size()));
  }
  if (!found) {
    return ErrorEnding{"Error 1030: Global Sensor " + sensor_argument + " not found..."};
  }
  selection.options = ParseOptions(std::move(option_text));
  // The monitor's timeout is set per sensor, and a global sensor's own parameters are the command
  // line: its ",TIMEOUT=" holds over the GSNX line's.
  if (options.time_limit_given) {
    selection.options.time_limit_seconds = options.time_limit_seconds;
    selection.options.time_limit_given = true;
  }
  return Checked(std::move(selection));
}

/// "Tessaloy.Prf": the listing from its "# Gsng: " lines, the item from the command line.
OrEnding<GlobalSelection> ReadItemRoute(Platform &os, const ProfileLocation &profile,
                                        const RunOptions &options) {
  const auto text = os.OpenText(profile.path);
  if (!text) {
    return ErrorEnding{"Error 1024: ProFile " + profile.name + " is missing..."};
  }
  GlobalSelection selection;
  selection.item = options.item.value_or("");
  selection.options = options;
  if (profile.name == kItemRouteFile) {
    ForEachLine(*text, [&](const std::string &line) {
      if (line.starts_with(kItemRouteKey)) {
        selection.listing += From(line, kListingValueColumn);
      }
    });
  }
  return Checked(std::move(selection));
}

} // namespace

OrEnding<GlobalSelection> ReadServerListing(Platform &os, const ProfileLocation &profile,
                                            const RunOptions &options,
                                            const std::string &sensor_argument) {
  return profile.name == kGlobalListingFile
             ? ReadListingRoute(os, profile, options, sensor_argument)
             : ReadItemRoute(os, profile, options);
}

namespace {

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
    bool checked = false;
    {
      ErrorHandlerScope handler(run.rfc);
      const RFC_HANDLE handle =
          run.rfc.stopped() ? 0 : OpenConnection(run.rfc, system.connection, options.overrides);
      // A system the built-in test library may not reach ends the walk: every other system off
      // this machine would fail the same way, and the document must say why.
      if (handle == 0 && !run.rfc.stopped() && RefusedByTestLibrary(run.rfc)) {
        return ErrorEnding{TestLibraryText(system.connection.destination)};
      }
      std::optional<RfcStop> stop = run.rfc.stopped();
      if (handle != 0 && !stop) {
        // The channel is out before the tables and the connection are given back.
        const SystemCheck check =
            CheckConnectedSystem(run.rfc, handle, [&](const IndexCounts &counts) {
              WriteSystemChannel(os, document, selection.item, channel_name, counts);
            });
        if (check.host) {
          system.display_host = *check.host;
        }
        if (const auto *check_stop = std::get_if<RfcStop>(&check.outcome)) {
          stop = *check_stop;
        } else if (std::holds_alternative<NotOracle>(check.outcome)) {
          return ErrorEnding{std::string(kDatabaseMismatch)};
        } else if (const auto *failure = std::get_if<FailedCheck>(&check.outcome)) {
          if (failure->step == CheckStep::SystemInfo) {
            return ErrorEnding{
                WithTraceDetail(failure->failure.text, failure->failure.trace_detail)};
          }
        } else {
          checked = true;
        }
      }
      if (stop) {
        if (const auto *abort = std::get_if<RfcAbort>(&*stop)) {
          return *abort;
        }
        cut_off = entry;
      }
    }
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
