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
    if (line.ends_with('\r')) line.pop_back();
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

void CheckSelection(Platform &os, const GlobalSelection &selection) {
  if (selection.listing.empty())
    EndWithErrorDocument(os, "Error 1025: Global Server Listing missing...");
  if (selection.item.empty())
    EndWithErrorDocument(os, "Error 1026: Global Item Idenification missing...");
}

/// "SAP Tessaloy.Gbl": the listing of the global sensor the options name, and its extension text,
/// which replaces the run's options from here on.
GlobalSelection ReadListingRoute(Platform &os, const ProfileLocation &profile, RunOptions &options,
                                 const std::string &sensor_argument) {
  const std::string name = GlobalSensorName(options);
  const auto text = os.OpenText(profile.path);
  if (!text) EndWithErrorDocument(os, "Error 10x1: ProFile " + profile.name + " is missing...");

  const std::string listing_prefix = std::string(kListingKey) + name;
  const std::string extension_prefix = std::string(kExtensionKey) + name;
  GlobalSelection selection;
  bool found = false;
  std::string item_text;
  std::string option_text;
  ForEachLine(*text, [&](const std::string &line) {
    const std::string upper = UpperAscii(line.substr(0, kKeyedPrefixWidth));
    if (upper == listing_prefix) selection.listing += From(line, kListingValueColumn);
    if (upper != extension_prefix) return;

    const std::string extension = From(line, kExtensionValueColumn);
    if (extension.find(kSensorAllocation) == std::string::npos)
      EndWithErrorDocument(os, "Error 1029: Invalid Sensor-Allocation...");
    item_text = extension;
    option_text = extension.substr(0, extension.find(",Sensor="));
    std::ranges::replace(option_text, ':', ' ');
    for (const KindKeyword &kind : kKindKeywords) {
      if (line.find(kind.keyword) != std::string::npos) selection.kind = kind.kind;
    }
    found = true;
  });

  constexpr std::string_view item_keyword = "Item=";
  const std::size_t item_at = item_text.find(item_keyword);
  if (item_at != std::string::npos)
    selection.item =
        ItemNameFrom(std::string_view(item_text).substr(item_at + item_keyword.size()));
  if (!found)
    EndWithErrorDocument(os, "Error 1030: Global Sensor " + sensor_argument + " not found...");
  CheckSelection(os, selection);
  options = ParseOptions(std::move(option_text));
  return selection;
}

/// "Tessaloy.Prf": the listing from its "# Gsng: " lines, the item from the command line.
GlobalSelection ReadItemRoute(Platform &os, const ProfileLocation &profile,
                              const RunOptions &options) {
  const auto text = os.OpenText(profile.path);
  if (!text) EndWithErrorDocument(os, "Error 1024: ProFile " + profile.name + " is missing...");
  GlobalSelection selection;
  selection.item = options.item.value_or("");
  if (profile.name == kItemRouteFile) {
    ForEachLine(*text, [&](const std::string &line) {
      if (line.starts_with(kItemRouteKey)) selection.listing += From(line, kListingValueColumn);
    });
  }
  CheckSelection(os, selection);
  return selection;
}

} // namespace

GlobalSelection ReadServerListing(Platform &os, const ProfileLocation &profile, RunOptions &options,
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
  if (item == kNotDefinedChannel)
    value = counts.not_defined;
  else if (item == kMissingChannel)
    value = counts.missing;
  else
    return;
  document.AddChannel(channel_name, std::to_string(value), "");
  os.WriteStdout(document.Take());
}

} // namespace

int GlobalListingRun(Run &run) {
  Platform &os = run.os;
  const GlobalSelection selection =
      ReadServerListing(os, run.profile, run.options, run.sensor_argument);
  run.rfc.Bind();
  if (run.options.syslog) run.rfc.OpenLog(run.profile.directory);

  if (run.console) {
    os.WriteStdout(run.banner + "\n");
    os.WriteStdout("* " + run.start_time + " " + ShownOptions(run.options.text) +
                   " State=Executing\n");
  }
  ResultDocument document(run.mode, run.options.selected_channel);
  document.BeginDocument();
  os.WriteStdout(document.Take() + "\n");

  std::uint32_t systems = 0, processed = 0, failed = 0;
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

    const auto profile = os.OpenText(run.profile.directory + entry);
    if (!profile) continue;
    bool profile_valid = ReadProfile(*profile, kGlobalProfilePiece, ProfileReading::ContinueAfter,
                                     entry, system.connection, system.display_host)
                             .valid;
    if (!CheckProfile(system.connection, entry).empty()) profile_valid = false;

    const std::string channel_name = ChannelNameFor(selection.kind, system, entry);
    const std::string system_line = run.console ? SystemLine(system, TimeOfDay(os), entry) : "";

    // A system that cannot be opened, or whose check fails, counts as failed; the error endings
    // of a run of one system end the whole walk.
    bool checked = false;
    {
      ErrorHandlerScope handler(run.rfc);
      const RFC_HANDLE handle = OpenConnection(run.rfc, system.connection, run.options.overrides);
      if (handle != 0) {
        // The channel is out before the tables and the connection are given back.
        checked = CheckConnectedSystem(run.rfc, handle, system.display_host,
                                       [&](const IndexCounts &counts) {
                                         WriteSystemChannel(os, document, selection.item,
                                                            channel_name, counts);
                                       })
                      .found.has_value();
      }
    }
    const bool system_processed = profile_valid && checked;
    ++(system_processed ? processed : failed);
    if (run.console)
      os.WriteStdout("\n" + system_line +
                     " State=" + (system_processed ? "Processed" : "Rfc Failure") + "\n");
  }

  document.BeginText();
  document.AddText("(***) " + selection.item + ": NoSystems=" + std::to_string(systems) +
                   ", Processed=" + std::to_string(processed) +
                   ", Failed=" + std::to_string(failed));
  document.EndText();
  document.EndDocument();
  os.WriteStdout(document.Take() + "\n");
  if (run.console) os.WriteStdout(EndLine(os));
  return kExitDone;
}

} // namespace kestrovan
