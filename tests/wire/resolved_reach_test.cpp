// The reach check over a resolved address list: every address a name resolved to must lie within
// reach before any of them is tried.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#endif

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "wire/resolved_reach.h"

namespace {

/// An address list as the resolver hands it out, chained in the order given.
class AddressList {
public:
  explicit AddressList(const std::vector<const char *> &v4_addresses)
      : addresses_(v4_addresses.size()), entries_(v4_addresses.size()) {
    for (std::size_t i = 0; i < v4_addresses.size(); ++i) {
      addresses_[i].sin_family = AF_INET;
      EXPECT_EQ(inet_pton(AF_INET, v4_addresses[i], &addresses_[i].sin_addr), 1);
      addrinfo &entry = entries_[i];
      std::memset(&entry, 0, sizeof entry);
      entry.ai_family = AF_INET;
      entry.ai_addrlen = sizeof(sockaddr_in);
      entry.ai_addr = reinterpret_cast<sockaddr *>(&addresses_[i]);
      entry.ai_next = i + 1 < entries_.size() ? &entries_[i + 1] : nullptr;
    }
  }
  const addrinfo *First() const { return entries_.empty() ? nullptr : entries_.data(); }

private:
  std::vector<sockaddr_in> addresses_;
  std::vector<addrinfo> entries_;
};

TEST(ResolvedReach, ANameIsRefusedWhenAnyOfItsAddressesIsOffTheMachine) {
  const rfcwire::Reach loopback_only;
  const struct {
    std::vector<const char *> addresses;
    bool allowed;
    std::string detail;
  } cases[] = {
      {{"127.0.0.1", "127.0.0.2"}, true, ""},
      {{"127.0.0.1", "192.0.2.7"},
       false,
       "prd (192.0.2.7) is neither a loopback address nor in a test network the settings allow"},
      {{"192.0.2.7", "127.0.0.1"},
       false,
       "prd (192.0.2.7) is neither a loopback address nor in a test network the settings allow"},
  };
  for (const auto &c : cases) {
    const AddressList list(c.addresses);
    std::string detail;
    EXPECT_EQ(rfcwire::AllWithinReach(list.First(), loopback_only, "prd", detail), c.allowed)
        << c.addresses.back();
    EXPECT_EQ(detail, c.detail) << c.addresses.back();
  }
}

} // namespace
