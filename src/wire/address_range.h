// Which addresses a stand-in may send a logon to: loopback always, other networks only as named.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rfcwire {

/// An IPv6 address; an IPv4 address is held mapped (::ffff:a.b.c.d), so one rule fits both.
using Address = std::array<std::uint8_t, 16>;

inline Address MappedIpv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  return Address{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, a, b, c, d};
}

/// The addresses whose first `prefix` bits equal those of `base` (prefix 0..128).
struct AddressRange {
  Address base{};
  unsigned prefix = 128;
};

inline bool InRange(const Address &address, const AddressRange &range) {
  const unsigned prefix = range.prefix > 128 ? 128 : range.prefix;
  const std::size_t whole = prefix / 8;
  for (std::size_t i = 0; i < whole; ++i) {
    if (address[i] != range.base[i]) {
      return false;
    }
  }
  const unsigned rest = prefix % 8;
  if (rest == 0) {
    return true;
  }
  const auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
  return (address[whole] & mask) == (range.base[whole] & mask);
}

/// 127.0.0.0/8 (also mapped into IPv6) and ::1.
inline bool IsLoopback(const Address &address) {
  constexpr AddressRange kLoopbackV4{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 0}, 104};
  constexpr AddressRange kLoopbackV6{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 128};
  return InRange(address, kLoopbackV4) || InRange(address, kLoopbackV6);
}

/// Where a stand-in may connect: this machine, and the test networks its settings name.
struct Reach {
  std::vector<AddressRange> test_networks;

  bool Allows(const Address &address) const {
    if (IsLoopback(address)) {
      return true;
    }
    for (const AddressRange &range : test_networks) {
      if (InRange(address, range)) {
        return true;
      }
    }
    return false;
  }
};

/// The address as a person reads it: dotted for IPv4; for IPv6 hexadecimal groups with the
/// longest run of two or more zero groups written "::", as resolvers print it.
inline std::string AddressText(const Address &address) {
  const Address mapped = MappedIpv4(address[12], address[13], address[14], address[15]);
  if (address == mapped) {
    return std::to_string(address[12]) + "." + std::to_string(address[13]) + "." +
           std::to_string(address[14]) + "." + std::to_string(address[15]);
  }
  std::array<unsigned, 8> groups{};
  for (std::size_t i = 0; i < groups.size(); ++i) {
    groups[i] = static_cast<unsigned>(address[2 * i]) << 8 | address[2 * i + 1];
  }
  std::size_t gap = groups.size();
  std::size_t gap_length = 1;
  for (std::size_t i = 0; i < groups.size();) {
    std::size_t run = 0;
    while (i + run < groups.size() && groups[i + run] == 0) {
      ++run;
    }
    if (run > gap_length) {
      gap = i;
      gap_length = run;
    }
    i += run == 0 ? 1 : run;
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    if (i == gap) {
      text += "::";
      i += gap_length - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') {
      text += ':';
    }
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned digit = (groups[i] >> shift) & 0xf;
      if (digit != 0 || started || shift == 0) {
        text += kDigits[digit];
        started = true;
      }
    }
  }
  return text;
}

/// Why a host was not tried: the address it resolved to that lies outside the reach.
inline std::string OutOfReachText(const std::string &host, const std::string &address) {
  return (host == address ? host : host + " (" + address + ")") +
         " is neither a loopback address nor in a test network the settings allow";
}

} // namespace rfcwire
