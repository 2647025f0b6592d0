// The reach check over a resolved address list, shared by the POSIX and Winsock transports:
// included by each after its own socket headers, which declare addrinfo and the address types.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "wire/address_range.h"

namespace rfcwire {

/// The resolved address in the one form the reach is checked in; false for other families.
inline bool AddressOf(const addrinfo &address, Address &bytes) {
  if (address.ai_family == AF_INET && address.ai_addrlen >= sizeof(sockaddr_in)) {
    const auto *v4 = reinterpret_cast<const sockaddr_in *>(address.ai_addr);
    const auto *octets = reinterpret_cast<const std::uint8_t *>(&v4->sin_addr);
    bytes = MappedIpv4(octets[0], octets[1], octets[2], octets[3]);
    return true;
  }
  if (address.ai_family == AF_INET6 && address.ai_addrlen >= sizeof(sockaddr_in6)) {
    const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(address.ai_addr);
    const auto *octets = reinterpret_cast<const std::uint8_t *>(&v6->sin6_addr);
    std::copy(octets, octets + bytes.size(), bytes.begin());
    return true;
  }
  return false;
}

/// True when every address a name resolved to lies within reach; otherwise detail names the
/// first one that does not. Every address is checked before any is tried: a name must not lead
/// off the allowed networks on its second address once the first did not answer.
inline bool AllWithinReach(const addrinfo *list, const Reach &reach, const std::string &host,
                           std::string &detail) {
  for (const addrinfo *address = list; address != nullptr; address = address->ai_next) {
    Address bytes{};
    const bool known = AddressOf(*address, bytes);
    if (!known || !reach.Allows(bytes)) {
      detail = OutOfReachText(host, known ? AddressText(bytes) : "an address of another family");
      return false;
    }
  }
  return true;
}

} // namespace rfcwire
