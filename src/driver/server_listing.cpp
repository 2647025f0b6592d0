// The two routes to a global selection: "SAP Tessaloy.Gbl" with GSNG and GSNX lines, or
// "Tessaloy.Prf".
#include "driver/server_listing.h"

#include "driver/startup.h"
#include "output/error_ending.h"
#include "output/option_text.h"
#include "platform/text_pieces.h"

namespace {

constexpr std::string_view kListingKey = "# GSNG: ";
constexpr std::string_view kExtensionKey = "# GSNX: ";
constexpr std::size_t kKeyedPrefixWidth = 18; // key and global sensor name
constexpr std::size_t kListingValueColumn = 20;
constexpr std::size_t kExtensionValueColumn = 19;
constexpr std::string_view kItemRouteKey = "# Gsng";
constexpr std::string_view kItemRouteSeparator = ": ";

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

/// Removes a last carriage return, then a last line feed.
void StripListingLineEnd(std::string *line) {
  if (!line->empty() && line->back() == '\r') line->pop_back();
  if (!line->empty() && line->back() == '\n') line->pop_back();
}

template <typename Handle> void ForEachLine(const std::string &text, Handle handle) {
  TextPieces pieces(text);
  std::string line;
  while (pieces.Next(kListingPiece, &line)) {
    StripListingLineEnd(&line);
    handle(line);
  }
}

std::string ItemFrom(const std::string &item_text) {
  constexpr std::string_view keyword = "Item=";
  const std::size_t at = item_text.find(keyword);
  return at == std::string::npos
             ? std::string()
             : ItemNameFrom(std::string_view(item_text).substr(at + keyword.size()));
}

void CheckSelection(RunState &state) {
  if (state.ServerListing.empty())
    EndWithErrorDocument(state, "Error 1025: Global Server Listing missing...");
  if (state.ItemName.empty())
    EndWithErrorDocument(state, "Error 1026: Global Item Idenification missing...");
}

void ReadListingRoute(RunState &state) {
  const std::string name = GlobalSensorName(state).substr(0, kGlobalSensorNameWidth);
  const auto text = state.os.ReadText(state.ProfilePath);
  if (!text)
    EndWithErrorDocument(state, "Error 10x1: ProFile " + state.ProfileName + " is missing...");

  const std::string listing_prefix = std::string(kListingKey) + name;
  const std::string extension_prefix = std::string(kExtensionKey) + name;
  bool found = false;
  std::string item_text;
  ForEachLine(*text, [&](const std::string &line) {
    const std::string upper = UpperAscii(line.substr(0, kKeyedPrefixWidth));
    if (upper == listing_prefix) state.ServerListing += From(line, kListingValueColumn);
    if (upper != extension_prefix) return;

    const std::string extension = From(line, kExtensionValueColumn);
    if (extension.find(kSensorAllocation) == std::string::npos)
      EndWithErrorDocument(state, "Error 1029: Invalid Sensor-Allocation...");
    item_text = extension;
    state.OptionText = extension.substr(0, extension.find(",Sensor="));
    for (char &c : state.OptionText) {
      if (c == ':') c = ' ';
    }
    for (const KindKeyword &kind : kKindKeywords) {
      if (line.find(kind.keyword) != std::string::npos) state.Kind = kind.kind;
    }
    found = true;
  });

  state.ItemName = ItemFrom(item_text);
  if (!found) {
    const std::string sensor = state.arguments.size() > 2 ? state.arguments[2] : "";
    EndWithErrorDocument(state, "Error 1030: Global Sensor " + sensor + " not found...");
  }
  CheckSelection(state);
  SetParameterString(state, state.OptionText);
}

void ReadItemRoute(RunState &state) {
  const auto text = state.os.ReadText(state.ProfilePath);
  if (!text)
    EndWithErrorDocument(state, "Error 1024: ProFile " + state.ProfileName + " is missing...");
  if (state.ProfileName == kItemRouteFile) {
    ForEachLine(*text, [&](const std::string &line) {
      if (line.compare(0, kItemRouteKey.size(), kItemRouteKey) == 0 &&
          line.size() >= kItemRouteKey.size() + kItemRouteSeparator.size() &&
          line.compare(kItemRouteKey.size(), kItemRouteSeparator.size(), kItemRouteSeparator) == 0)
        state.ServerListing += From(line, kListingValueColumn);
    });
  }
  CheckSelection(state);
}

} // namespace

std::string GlobalSensorName(const RunState &state) {
  std::string name = state.ParameterStringUpper.substr(0, state.ParameterStringUpper.find(' '));
  if (name.size() < kGlobalSensorNameWidth) name.append(kGlobalSensorNameWidth - name.size(), ' ');
  return name;
}

void ReadServerListing(RunState &state) {
  state.ServerListing.clear();
  state.Kind = EntryKind::Profile;
  if (state.ProfileName == kGlobalListingFile)
    ReadListingRoute(state);
  else
    ReadItemRoute(state);
}
