// Gateway ports, numbers, and the stand-in's settings file.
#include <gtest/gtest.h>

#include "rfclib/endpoint.h"
#include "rfclib/settings.h"
#include "wire/text_util.h"
#include "support/scoped_temp_dir.h"

namespace kestrovan_test {
namespace {

TEST(TextUtilTest, UnsignedNumbersAreRangeCheckedNotWrapped) {
  struct Case {
    const char *text;
    unsigned long max;
    long long value; // -1: rejected
  };
  const Case cases[] = {
      {"3300", 65535, 3300},
      {"4294970596", 65535, -1}, // 2^32 + 3300
      {"4294967297", 4294967295UL, -1},
      {"18446744073709551617", 4294967295UL, -1}, // 2^64 + 1
      {"0000000000000000003300", 65535, 3300},    // leading zeros are no reason to refuse
      {"+1", 65535, -1},
      {"-1", 65535, -1},
      {"1 ", 65535, -1},
      {"", 65535, -1},
  };
  for (const Case &c : cases) {
    unsigned long value = 7;
    EXPECT_EQ(rfcwire::ParseUnsigned(c.text, c.max, value), c.value >= 0) << c.text;
    EXPECT_EQ(static_cast<long long>(value), c.value >= 0 ? c.value : 7) << c.text;
  }
}

TEST(EndpointTest, GatewayPorts) {
  struct Case {
    const char *service;
    const char *port; // null: rejected
  };
  const Case cases[] = {
      {"3300", "3300"},     {"sapgw00", "3300"}, {"sapgw99", "3399"},   {"4294970596", nullptr},
      {"sapgw-1", nullptr}, {"SAPGW12", "3312"}, {" 3301 ", "3301"},    {"0", nullptr},
      {"65536", nullptr},   {"sapgw1", nullptr}, {"sapgw123", nullptr}, {"sapdp00", nullptr},
      {"", nullptr}};
  for (const Case &c : cases) {
    std::string port;
    EXPECT_EQ(rfclib::GatewayPort(c.service, port), c.port != nullptr) << c.service;
    if (c.port != nullptr) {
      EXPECT_EQ(port, c.port) << c.service;
    }
  }
}

TEST(EndpointTest, ApplicationServerIsReachedAtItsOwnGateway) {
  struct Case {
    const char *name;
    const char *host;
    int sysnr;
    const char *gateway_host;
    const char *gateway_service;
    const char *expected; // null: rejected
  };
  const Case cases[] = {
      {"plain", "127.0.0.5", 0, "", "", "127.0.0.5:3300"},
      {"system number 42", "app", 42, "", "", "app:3342"},
      {"gateway host is not the target", "app", 1, "127.0.0.9", "", "app:3301"},
      {"gateway service is not the target", "app", 1, "", "sapgw07", "app:3301"},
      {"gateway only without a host", "", 1, "gw", "4000", "gw:4000"},
      {"gateway without service", "", 1, "gw", "", nullptr},
      {"no host", "", 1, "", "", nullptr},
      {"system number 100", "app", 100, "", "", nullptr},
      {"negative system number", "app", -1, "", "", nullptr},
      {"system number beyond int with gateway only", "", 2147483647, "gw", "4000", nullptr},
      {"negative system number with gateway only", "", -2147483647 - 1, "gw", "4000", nullptr},
      {"router string", "/H/router/S/3299/H/app", 0, "", "", nullptr},
      {"service ignored with a host", "app", 0, "", "gateway", "app:3300"},
      {"bad service without a host", "", 0, "gw", "gateway", nullptr},
  };
  for (const Case &c : cases) {
    rfclib::Endpoint endpoint;
    std::string problem;
    const bool ok = rfclib::ApplicationServerEndpoint(c.host, c.sysnr, c.gateway_host,
                                                      c.gateway_service, endpoint, problem);
    EXPECT_EQ(ok, c.expected != nullptr) << c.name << ": " << problem;
    if (ok && c.expected != nullptr) {
      EXPECT_EQ(endpoint.Describe(), c.expected) << c.name;
    } else {
      EXPECT_FALSE(problem.empty()) << c.name;
    }
  }
}

TEST(EndpointTest, GatewayModeNeedsHostAndService) {
  rfclib::Endpoint endpoint;
  std::string problem;
  EXPECT_TRUE(rfclib::GatewayEndpoint("gw", "sapgw03", endpoint, problem));
  EXPECT_EQ(endpoint.Describe(), "gw:3303");
  EXPECT_FALSE(rfclib::GatewayEndpoint("", "3300", endpoint, problem));
  EXPECT_FALSE(rfclib::GatewayEndpoint("gw", "", endpoint, problem));
}

TEST(SettingsTest, FileOverridesDefaultsAndIgnoresWhatItCannotUse) {
  ScopedTempDir folder;
  const rfclib::Timeouts defaults = rfclib::ReadTimeouts((folder.Path() / "missing.ini").string());
  EXPECT_EQ(defaults.connect.count(), 5000);
  EXPECT_EQ(defaults.call.count(), 20000);
  EXPECT_EQ(defaults.connection.count(), 45000);
  const auto file =
      folder.Write("RfcStandin.ini", "# limits\n* old comment\n; and another\n"
                                     "connect_timeout = 750ms\nCALL_TIMEOUT=nonsense\nOTHER=1\n"
                                     "Connection_Timeout=4294967297ms\n");
  const rfclib::Timeouts read = rfclib::ReadTimeouts(file.string());
  EXPECT_EQ(read.connect.count(), 750);
  EXPECT_EQ(read.call.count(), 20000);
  EXPECT_EQ(read.connection.count(), 45000) << "a value beyond the bounds is not used";
  const auto second = folder.Write("RfcStandin.ini", "CONNECTION_TIMEOUT=30\n");
  EXPECT_EQ(rfclib::ReadTimeouts(second.string()).connection.count(), 30000);
}

} // namespace
} // namespace kestrovan_test
