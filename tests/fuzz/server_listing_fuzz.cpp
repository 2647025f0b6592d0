// Fuzzes the global selection read from "SAP Tessaloy.Gbl" (GSNG and GSNX lines) and from
// "Tessaloy.Prf" (the item route). The first byte picks the route; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "driver/server_listing.h"
#include "fuzz_check.h"
#include "memory_platform.h"

using namespace kestrovan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) return 0;
  const bool listing_route = (data[0] & 1) != 0;
  const std::string file(reinterpret_cast<const char *>(data) + 1, size - 1);

  MemoryPlatform os;
  ProfileLocation profile;
  profile.directory = "C:\\Sensors\\ExeXml\\";
  profile.name = listing_route ? std::string(kGlobalListingFile) : std::string(kItemRouteFile);
  profile.path = profile.directory + profile.name;
  os.files[profile.path] = file;
  const RunOptions options = ParseOptions(listing_route ? "prod x" : "ITEM=Missing_Idices");

  OrEnding<GlobalSelection> read = ReadServerListing(os, profile, options, "prod");
  // The reader writes nothing itself: what ends the run is handed back.
  FUZZ_CHECK(os.stdout_text.empty());
  if (const auto *ending = std::get_if<ErrorEnding>(&read)) {
    FUZZ_CHECK(ending->text.starts_with("Error 10"));
    return 0;
  }
  const GlobalSelection &selection = std::get<GlobalSelection>(read);
  FUZZ_CHECK(!selection.listing.empty() && !selection.item.empty());
  FUZZ_CHECK(selection.item.size() <= kItemNameWidth);
  // An item ends before a blank or comma; its colons have been made blanks.
  FUZZ_CHECK(selection.item.find_first_of(":,") == std::string::npos);
  // The listing is made of the file's own characters and never outgrows it.
  const std::string text = TranslateTextMode(file);
  FUZZ_CHECK(selection.listing.size() <= text.size());
  for (char c : selection.listing) {
    FUZZ_CHECK(text.find(c) != std::string::npos);
  }
  // Options taken from an extension line have their colons made blanks.
  if (listing_route) {
    FUZZ_CHECK(selection.options.text.find(':') == std::string::npos);
  }
  return 0;
}
