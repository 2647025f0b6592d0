// Opening a connection: the options record, the per-destination file path and the options.
#include <gtest/gtest.h>

#include "fake_run.h"
#include "output/log_lines.h"
#include "output/option_text.h"
#include "rfc/open_connection.h"
#include "test_platform.h"

namespace {

struct Fixture : FakeRun {
  Fixture() {
    state.Connection = ConnectionParameters{"Mon", "PRD",     "100", "MONITOR", "secret", "E",
                                            "R/3", "prdhost", "00",  "prdgw",   "sapgw00"};
  }
};

TEST(OpenConnection, OptionsRecordForTheApplicationServer) {
  Fixture f;
  EXPECT_EQ(OpenConnection(f.state), 7u);
  ASSERT_EQ(f.fake.opens.size(), 1u);
  const SeenOpen &o = f.fake.opens[0];
  EXPECT_FALSE(o.by_connect_text);
  EXPECT_EQ(o.destination, "PRD");
  EXPECT_EQ(o.client, "100");
  EXPECT_EQ(o.user, "MONITOR     ");
  EXPECT_EQ(o.password, "secret    ");
  EXPECT_EQ(o.language, "E");
  EXPECT_EQ(o.mode, RFC_MODE_R3ONLY);
  EXPECT_EQ(o.hostname, "prdhost");
  EXPECT_EQ(o.sysnr, 0);
  EXPECT_EQ(o.gwhost, "prdgw");
  EXPECT_EQ(o.gwservice, "sapgw00");
  EXPECT_EQ(o.trace, 0);
  EXPECT_EQ(f.state.Connection.user, "MONITOR") << "the profile values stay unpadded";
  EXPECT_EQ(f.os.stdout_text, "");
}

TEST(OpenConnection, PaddingAndModes) {
  struct {
    const char *name;
    std::string ConnectionParameters::*field;
    std::string value;
    std::string SeenOpen::*seen;
    std::string expected;
  } cases[] = {
      {"user_12_unchanged", &ConnectionParameters::user, "ABCDEFGHIJKL", &SeenOpen::user,
       "ABCDEFGHIJKL"},
      {"user_longer_unchanged", &ConnectionParameters::user, "ABCDEFGHIJKLMN", &SeenOpen::user,
       "ABCDEFGHIJKLMN"},
      {"password_10_unchanged", &ConnectionParameters::password, "0123456789", &SeenOpen::password,
       "0123456789"},
      {"password_padded_to_10", &ConnectionParameters::password, "ab", &SeenOpen::password,
       "ab        "},
  };
  for (const auto &c : cases) {
    Fixture f;
    f.state.Connection.*(c.field) = c.value;
    OpenConnection(f.state);
    EXPECT_EQ(f.fake.opens[0].*(c.seen), c.expected) << c.name;
  }

  struct {
    const char *mode;
    int expected;
  } modes[] = {{"R/2", RFC_MODE_CPIC},
               {"r/2", RFC_MODE_R3ONLY},
               {"R/3", RFC_MODE_R3ONLY},
               {"", RFC_MODE_R3ONLY},
               {"R/2 ", RFC_MODE_R3ONLY}};
  for (const auto &m : modes) {
    Fixture f;
    f.state.Connection.mode = m.mode;
    OpenConnection(f.state);
    EXPECT_EQ(f.fake.opens[0].mode, m.expected) << m.mode;
  }
}

TEST(OpenConnection, GatewayOptionsAndAbsentTexts) {
  Fixture f;
  f.state.Connection.mode = "R/2";
  f.state.Connection.gwservice = "";
  OpenConnection(f.state);
  EXPECT_EQ(f.fake.opens[0].gwhost, "prdgw");
  EXPECT_TRUE(f.fake.opens[0].gwservice_absent);

  Fixture g;
  g.state.Connection.hostname = "";
  g.state.Connection.sysnr = "";
  OpenConnection(g.state);
  EXPECT_TRUE(g.fake.opens[0].host_absent) << "an empty host is absent, not an empty text";
  EXPECT_EQ(g.fake.opens[0].sysnr, 0);
}

TEST(OpenConnection, SystemNumberReadAsInteger) {
  struct {
    const char *sysnr;
    int number;
  } cases[] = {{"00", 0}, {"07", 7}, {" 12x", 12}, {"-3", -3}, {"ab", 0}};
  for (const auto &c : cases) {
    Fixture f;
    f.state.Connection.sysnr = c.sysnr;
    OpenConnection(f.state);
    EXPECT_EQ(f.fake.opens[0].sysnr, c.number) << c.sysnr;
  }
}

TEST(OpenConnection, HostAndNumberOptions) {
  struct {
    const char *options;
    const char *host;
    int sysnr;
    bool absent;
  } cases[] = {
      {",HOST=other", "other", 0, false},
      {"x,host=Other.Example,NO=12", "Other.Example", 12, false},
      {",NO=5 ,HOST=h2", "h2", 5, false},
      {",HOST=", "", 0, true},
      {"HOST=x", "prdhost", 0, false},
  };
  for (const auto &c : cases) {
    Fixture f;
    SetParameterString(f.state, c.options);
    OpenConnection(f.state);
    EXPECT_EQ(f.fake.opens[0].hostname, c.host) << c.options;
    EXPECT_EQ(f.fake.opens[0].sysnr, c.sysnr) << c.options;
    EXPECT_EQ(f.fake.opens[0].host_absent, c.absent) << c.options;
    EXPECT_EQ(f.state.Connection.hostname, "prdhost");
  }
}

TEST(OpenConnection, PerDestinationFileIsCopiedAndConnectTextUsed) {
  Fixture f;
  const std::string ini = "DEST=PRD\r\nTYPE=A\r\nASHOST=prdhost\r\nSYSNR=00\r\n\x1a";
  f.tree.Write("SapRfc.PRD", ini);
  f.tree.Write("SapRfc.ini",
               "old content that is longer than the new one ................................");
  SetParameterString(f.state, ",SYSLOG");
  OpenLogStream(f.state);
  EXPECT_EQ(OpenConnection(f.state), 7u);
  EXPECT_EQ(f.tree.Read("SapRfc.ini"), ini) << "a byte copy";
  EXPECT_EQ(f.os.stdout_text, "* SapRfc.Ini.......: PRD<\n");
  ASSERT_EQ(f.fake.opens.size(), 1u);
  EXPECT_TRUE(f.fake.opens[0].by_connect_text);
  EXPECT_EQ(f.fake.opens[0].connect_text, "CLIENT=100 USER=MONITOR PASSWD=secret LANG=D DEST=PRD");
  f.state.LogStream.reset();
  EXPECT_EQ(f.tree.Read("Kestrovan.Log"), "7 RfcOpenEx called \n");
}

TEST(OpenConnection, EmptyPerDestinationFileStillTakesTheConnectTextPath) {
  Fixture f;
  f.tree.Write("SapRfc.PRD", "");
  OpenConnection(f.state);
  EXPECT_TRUE(f.tree.Exists("SapRfc.ini"));
  EXPECT_EQ(f.tree.Read("SapRfc.ini"), "");
  EXPECT_TRUE(f.fake.opens[0].by_connect_text);
}

TEST(OpenConnection, UnwritableDestinationFileOpensNothing) {
  Fixture f;
  f.tree.Write("SapRfc.PRD", "DEST=PRD\n");
  std::filesystem::create_directory(f.tree.work() / "SapRfc.ini");
  EXPECT_EQ(OpenConnection(f.state), 0u);
  EXPECT_TRUE(f.fake.opens.empty());
  EXPECT_EQ(f.os.stdout_text, "* SapRfc.Ini.......: PRD<\n");
}

TEST(OpenConnection, LogLineCarriesTheHandle) {
  Fixture f;
  f.fake.open_result = 0;
  SetParameterString(f.state, ",syslog");
  OpenLogStream(f.state);
  EXPECT_EQ(OpenConnection(f.state), 0u);
  f.state.LogStream.reset();
  EXPECT_EQ(f.tree.Read("Kestrovan.Log"), "0 RfcOpen called \n");
}

} // namespace
