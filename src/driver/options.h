// The run's options: the text after the profile name on the command line, or the extension text
// of a global listing, read once into what each part of the run needs.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "session/open_connection.h"

namespace kestrovan {

/// ItemName keeps at most this many characters.
inline constexpr std::size_t kItemNameWidth = 90;

/// The run answers within this many seconds of its start unless ",TIMEOUT=" says otherwise: the
/// monitor kills a sensor after 60 s by default, and the document must be out before that.
inline constexpr int kDefaultTimeLimitSeconds = 50;
/// The monitor's longest sensor timeout; ",TIMEOUT=" takes 1 to this many seconds.
inline constexpr int kLongestTimeLimitSeconds = 900;

struct RunOptions {
  std::string text;  // as typed: values are taken from here
  std::string upper; // letters a-z raised: keywords are searched here, without regard to case

  std::optional<std::string> item;      // "ITEM=": the channel a global listing run reports
  bool at_sign = false;                 // "@": the profile is taken where it was named
  bool console = false;                 // any of "#@$%": progress lines for a person at a console
  bool syslog = false;                  // ",SYSLOG": the library events are logged
  ConnectionOverrides overrides;        // ",HOST=", ",NO="
  std::optional<long> selected_channel; // "CH=": the one channel "Morvane" prints
  int time_limit_seconds = kDefaultTimeLimitSeconds; // ",TIMEOUT=": the run's deadline
  bool time_limit_given = false; // ",TIMEOUT=" held a value it takes, not the default

  bool Has(std::string_view keyword) const { return upper.find(keyword) != std::string::npos; }
};

/// Reads every option the run knows from the text.
RunOptions ParseOptions(std::string text);

/// An item name from the text after its keyword: up to a blank, comma or the end, at most 90
/// characters, every ":" made a blank.
std::string ItemNameFrom(std::string_view text);

} // namespace kestrovan
