// Durations are whole milliseconds read from digits: no exponent, no rounding.
#include "rfcfiles/limits_file.h"

#include "rfcfiles/text_lines.h"

namespace rfcfiles {

namespace {

constexpr unsigned long kLongest = 3600UL * 1000UL;

/// Digits only, at most `most`.
bool Whole(std::string_view digits, unsigned long most, unsigned long &value) {
  if (digits.empty()) {
    return false;
  }
  value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > most) {
      return false;
    }
  }
  return true;
}

} // namespace

bool ParseDuration(std::string_view text, std::chrono::milliseconds &duration) {
  text = Trim(text);
  unsigned long scale = 1000; // seconds unless said otherwise
  if (text.ends_with("ms")) {
    scale = 1;
    text.remove_suffix(2);
  } else if (text.ends_with('s')) {
    text.remove_suffix(1);
  }
  text = Trim(text);
  const std::size_t dot = text.find('.');
  unsigned long units = 0;
  if (!Whole(text.substr(0, dot), kLongest, units)) {
    return false;
  }
  unsigned long milliseconds = units * scale;
  if (dot != std::string_view::npos) {
    // Fractions only make sense for seconds, and only down to the millisecond.
    const std::string_view fraction = text.substr(dot + 1);
    unsigned long thousandths = 0;
    if (scale != 1000 || fraction.size() > 3 || !Whole(fraction, 999, thousandths)) {
      return false;
    }
    for (std::size_t i = fraction.size(); i < 3; ++i) {
      thousandths *= 10;
    }
    milliseconds += thousandths;
  }
  if (milliseconds < 1 || milliseconds > kLongest) {
    return false;
  }
  duration = std::chrono::milliseconds(static_cast<long long>(milliseconds));
  return true;
}

TimeLimits ParseTimeLimits(std::string_view text, TimeLimits defaults) {
  TimeLimits limits = defaults;
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == '#' || line.front() == '*' || line.front() == ';') {
      return;
    }
    const std::size_t equals = line.find('=');
    std::chrono::milliseconds value{};
    if (equals == std::string_view::npos || !ParseDuration(line.substr(equals + 1), value)) {
      return;
    }
    const std::string key = rfcwire::ToUpper(Trim(line.substr(0, equals)));
    if (key == "CONNECT_TIMEOUT") {
      limits.connect = value;
    } else if (key == "CALL_TIMEOUT") {
      limits.call = value;
    } else if (key == "CONNECTION_TIMEOUT") {
      limits.connection = value;
    }
  });
  return limits;
}

} // namespace rfcfiles
