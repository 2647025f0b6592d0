// The listing files of a global listing run: which profiles the listing names, how their channels
// are named, and the options from there on.
#include "driver/server_listing.h"

#include <algorithm>

#include "output/log_lines.h"

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

} // namespace kestrovan
