// Addresses are read digit by digit with every bound checked: no resolver, no system parser.
#include "rfcfiles/standin_settings.h"

#include <array>
#include <vector>

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/file_names.h"
#include "rfcfiles/text_lines.h"

namespace rfcfiles {

namespace {

/// Decimal digits only (1..3 of them for an octet), at most `most`.
bool Decimal(std::string_view digits, unsigned most, unsigned &value) {
  if (digits.empty() || digits.size() > 3) {
    return false;
  }
  value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= most;
}

bool HexDigit(char c, unsigned &value) {
  if (c >= '0' && c <= '9') {
    value = static_cast<unsigned>(c - '0');
  } else if (c >= 'a' && c <= 'f') {
    value = static_cast<unsigned>(c - 'a' + 10);
  } else if (c >= 'A' && c <= 'F') {
    value = static_cast<unsigned>(c - 'A' + 10);
  } else {
    return false;
  }
  return true;
}

bool Ipv4(std::string_view text, rfcwire::Address &address) {
  std::array<std::uint8_t, 4> octets{};
  for (std::size_t i = 0; i < octets.size(); ++i) {
    const std::size_t dot = i + 1 < octets.size() ? text.find('.') : std::string_view::npos;
    if (i + 1 < octets.size() && dot == std::string_view::npos) {
      return false;
    }
    unsigned value = 0;
    if (!Decimal(text.substr(0, dot), 255, value)) {
      return false;
    }
    octets[i] = static_cast<std::uint8_t>(value);
    text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  }
  address = rfcwire::MappedIpv4(octets[0], octets[1], octets[2], octets[3]);
  return true;
}

/// Groups of 1..4 hexadecimal digits separated by ':'; false for an empty or overlong group.
bool Groups(std::string_view text, std::vector<unsigned> &groups) {
  if (text.empty()) {
    return true;
  }
  for (;;) {
    const std::size_t colon = text.find(':');
    const std::string_view group = text.substr(0, colon);
    if (group.empty() || group.size() > 4 || groups.size() >= 8) {
      return false;
    }
    unsigned value = 0;
    for (const char c : group) {
      unsigned digit = 0;
      if (!HexDigit(c, digit)) {
        return false;
      }
      value = value << 4 | digit;
    }
    groups.push_back(value);
    if (colon == std::string_view::npos) {
      return true;
    }
    text.remove_prefix(colon + 1);
  }
}

bool Ipv6(std::string_view text, rfcwire::Address &address) {
  std::vector<unsigned> head;
  std::vector<unsigned> tail;
  const std::size_t gap = text.find("::");
  if (gap == std::string_view::npos) {
    if (!Groups(text, head) || head.size() != 8) {
      return false;
    }
  } else if (text.find("::", gap + 1) != std::string_view::npos ||
             !Groups(text.substr(0, gap), head) || !Groups(text.substr(gap + 2), tail) ||
             head.size() + tail.size() > 7) {
    return false;
  }
  address = rfcwire::Address{};
  for (std::size_t i = 0; i < head.size(); ++i) {
    address[2 * i] = static_cast<std::uint8_t>(head[i] >> 8);
    address[2 * i + 1] = static_cast<std::uint8_t>(head[i] & 0xff);
  }
  const std::size_t first_of_tail = 8 - tail.size();
  for (std::size_t i = 0; i < tail.size(); ++i) {
    address[2 * (first_of_tail + i)] = static_cast<std::uint8_t>(tail[i] >> 8);
    address[2 * (first_of_tail + i) + 1] = static_cast<std::uint8_t>(tail[i] & 0xff);
  }
  return true;
}

} // namespace

bool ParseAddressRange(std::string_view text, rfcwire::AddressRange &range) {
  const std::size_t slash = text.find('/');
  const std::string_view address = text.substr(0, slash);
  rfcwire::AddressRange read;
  unsigned offset = 0;
  unsigned most = 128;
  if (address.find(':') != std::string_view::npos) {
    if (!Ipv6(address, read.base)) {
      return false;
    }
  } else {
    if (!Ipv4(address, read.base)) {
      return false;
    }
    offset = 96; // the mapped form's fixed leading bits
    most = 32;
  }
  unsigned prefix = most;
  if (slash != std::string_view::npos && !Decimal(text.substr(slash + 1), most, prefix)) {
    return false;
  }
  read.prefix = offset + prefix;
  range = read;
  return true;
}

StandinSettings ParseStandinSettings(std::string_view text, TimeLimits defaults) {
  StandinSettings settings;
  settings.limits = ParseTimeLimits(text, defaults);
  ForEachLine(text, [&](std::string_view line) {
    line = Trim(line);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return;
    }
    const std::string key = rfcwire::ToUpper(Trim(line.substr(0, equals)));
    if (key == "LOGON_RECORD") {
      settings.logon_record = std::string(Trim(line.substr(equals + 1)));
      return;
    }
    if (key != "TEST_NETWORK") {
      return;
    }
    std::string_view entries = line.substr(equals + 1);
    while (!entries.empty()) {
      const std::size_t end = entries.find_first_of(", \t\r");
      const std::string_view entry = entries.substr(0, end);
      entries = end == std::string_view::npos ? std::string_view() : entries.substr(end + 1);
      rfcwire::AddressRange range;
      if (!entry.empty() && settings.reach.test_networks.size() < kMostTestNetworks &&
          ParseAddressRange(entry, range)) {
        settings.reach.test_networks.push_back(range);
      }
    }
  });
  return settings;
}

StandinSettings ReadStandinSettings(const std::string &path, TimeLimits defaults) {
  std::string content;
  if (ReadTextFile(path, kLargestSettingsFile, content) != FileRead::Ok) {
    StandinSettings settings;
    settings.limits = defaults;
    return settings;
  }
  return ParseStandinSettings(content, defaults);
}

} // namespace rfcfiles
