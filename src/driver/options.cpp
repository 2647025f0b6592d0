// Reading the option text: keywords are found without regard to letter case, values as typed.
#include "driver/options.h"

#include <algorithm>

#include "output/result_document.h"
#include "wire/text_util.h"

namespace kestrovan {

namespace {

/// The value after a keyword as typed, up to the next comma, blank or the end.
std::optional<std::string> ValueAfter(const RunOptions &options, std::string_view keyword) {
  const std::size_t at = options.upper.find(keyword);
  if (at == std::string::npos) {
    return std::nullopt;
  }
  const std::string_view rest = std::string_view(options.text).substr(at + keyword.size());
  return std::string(rest.substr(0, rest.find_first_of(", ")));
}

/// The channel number after "CH=": up to three characters as typed, stopping before a comma.
std::optional<long> SelectedChannel(const RunOptions &options) {
  constexpr std::string_view keyword = "CH=";
  const std::size_t at = options.upper.find(keyword);
  if (at == std::string::npos) {
    return std::nullopt;
  }
  std::string_view rest = std::string_view(options.text).substr(at + keyword.size());
  rest = rest.substr(0, kChannelNumberWidth);
  return ReadLeadingInteger(rest.substr(0, rest.find(',')));
}

/// The seconds after ",TIMEOUT=": digits only, 1 to 900; none for anything else.
std::optional<int> TimeLimitSeconds(const RunOptions &options) {
  const std::optional<std::string> value = ValueAfter(options, ",TIMEOUT=");
  if (!value || value->size() > 3 || !rfcwire::AllDigits(*value)) {
    return std::nullopt;
  }
  const int seconds = std::stoi(*value);
  if (seconds < 1 || seconds > kLongestTimeLimitSeconds) {
    return std::nullopt;
  }
  return seconds;
}

} // namespace

RunOptions ParseOptions(std::string text) {
  RunOptions options;
  options.upper = UpperAscii(text);
  options.text = std::move(text);

  constexpr std::string_view item_keyword = "ITEM=";
  const std::size_t item_at = options.upper.find(item_keyword);
  if (item_at != std::string::npos) {
    options.item =
        ItemNameFrom(std::string_view(options.text).substr(item_at + item_keyword.size()));
  }
  options.at_sign = options.Has("@");
  options.console = options.text.find_first_of("#@$%") != std::string::npos;
  options.syslog = options.Has(",SYSLOG");
  options.overrides.hostname = ValueAfter(options, ",HOST=");
  options.overrides.sysnr = ValueAfter(options, ",NO=");
  options.selected_channel = SelectedChannel(options);
  const std::optional<int> seconds = TimeLimitSeconds(options);
  options.time_limit_given = seconds.has_value();
  options.time_limit_seconds = seconds.value_or(kDefaultTimeLimitSeconds);
  return options;
}

std::string ItemNameFrom(std::string_view text) {
  std::string item(text.substr(0, text.find_first_of(" ,")));
  item.resize(std::min(item.size(), kItemNameWidth));
  std::ranges::replace(item, ':', ' ');
  return item;
}

} // namespace kestrovan
