// Opening a connection: the options record, the per-destination file path and the options.
#include <gtest/gtest.h>

#include <climits>

#include "driver/options.h"
#include "fake_run.h"
#include "session/open_connection.h"
#include "rfcfiles/file_names.h"

using namespace kestrovan;

namespace {

struct Fixture : FakeRun {
  ConnectionParameters connection{"Mon", "PRD",     "100", "MONITOR", "secret", "E",
                                  "R/3", "prdhost", "00",  "prdgw",   "sapgw00"};
  ConnectionOverrides overrides;

  RFC_HANDLE Open() { return OpenConnection(rfc, connection, overrides); }
};

TEST(OpenConnection, OptionsRecordForTheApplicationServer) {
  Fixture f;
  EXPECT_EQ(f.Open(), 7u);
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
  EXPECT_EQ(f.connection.user, "MONITOR") << "the profile values stay unpadded";
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
    f.connection.*(c.field) = c.value;
    f.Open();
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
    f.connection.mode = m.mode;
    f.Open();
    EXPECT_EQ(f.fake.opens[0].mode, m.expected) << m.mode;
  }
}

TEST(OpenConnection, GatewayOptionsAndAbsentTexts) {
  Fixture f;
  f.connection.mode = "R/2";
  f.connection.gwservice = "";
  f.Open();
  EXPECT_EQ(f.fake.opens[0].gwhost, "prdgw");
  EXPECT_TRUE(f.fake.opens[0].gwservice_absent);

  Fixture g;
  g.connection.hostname = "";
  g.connection.sysnr = "";
  g.Open();
  EXPECT_TRUE(g.fake.opens[0].host_absent) << "an empty host is absent, not an empty text";
  EXPECT_EQ(g.fake.opens[0].sysnr, 0);
}

TEST(OpenConnection, SystemNumberReadAsInteger) {
  struct {
    const char *sysnr;
    int number;
  } cases[] = {{"00", 0},
               {"07", 7},
               {" 12x", 12},
               {"-3", -3},
               {"ab", 0},
               // Beyond the int field the number names no system instead of wrapping to one.
               {"4294967297", INT_MAX},
               {"-4294967296", INT_MIN}};
  for (const auto &c : cases) {
    Fixture f;
    f.connection.sysnr = c.sysnr;
    f.Open();
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
      {",NO=4294967296", "prdhost", INT_MAX, false},
  };
  for (const auto &c : cases) {
    Fixture f;
    f.overrides = ParseOptions(c.options).overrides;
    f.Open();
    EXPECT_EQ(f.fake.opens[0].hostname, c.host) << c.options;
    EXPECT_EQ(f.fake.opens[0].sysnr, c.sysnr) << c.options;
    EXPECT_EQ(f.fake.opens[0].host_absent, c.absent) << c.options;
    EXPECT_EQ(f.connection.hostname, "prdhost");
  }
}

TEST(OpenConnection, PerDestinationFileIsCopiedAndConnectTextUsed) {
  Fixture f;
  const std::string ini = "DEST=PRD\r\nTYPE=A\r\nASHOST=prdhost\r\nSYSNR=00\r\n\x1a";
  f.tree.Write("SapRfc.PRD", ini);
  f.tree.Write("SapRfc.ini",
               "old content that is longer than the new one ................................");
  f.rfc.OpenLog("");
  EXPECT_EQ(f.Open(), 7u);
  EXPECT_EQ(f.tree.Read("SapRfc.ini"), ini) << "a byte copy";
  EXPECT_EQ(f.os.stdout_text, "* SapRfc.Ini.......: PRD<\n");
  ASSERT_EQ(f.fake.opens.size(), 1u);
  EXPECT_TRUE(f.fake.opens[0].by_connect_text);
  EXPECT_EQ(f.fake.opens[0].connect_text, "CLIENT=100 USER=MONITOR PASSWD=secret LANG=D DEST=PRD");
  EXPECT_EQ(f.tree.Read("Kestrovan.Log"), "7 RfcOpenEx called \n");
}

TEST(OpenConnection, EmptyPerDestinationFileStillTakesTheConnectTextPath) {
  Fixture f;
  f.tree.Write("SapRfc.PRD", "");
  f.Open();
  EXPECT_TRUE(f.tree.Exists("SapRfc.ini"));
  EXPECT_EQ(f.tree.Read("SapRfc.ini"), "");
  EXPECT_TRUE(f.fake.opens[0].by_connect_text);
}

TEST(OpenConnection, UnwritableDestinationFileOpensNothing) {
  Fixture f;
  f.tree.Write("SapRfc.PRD", "DEST=PRD\n");
  std::filesystem::create_directory(f.tree.work() / "SapRfc.ini");
  EXPECT_EQ(f.Open(), 0u);
  EXPECT_TRUE(f.fake.opens.empty());
  EXPECT_EQ(f.os.stdout_text, "* SapRfc.Ini.......: PRD<\n");
}

TEST(OpenConnection, DestinationFileBeyondWhatTheLibrariesReadIsNotCopied) {
  Fixture f;
  f.tree.Write("SapRfc.PRD", "DEST=PRD\n" + std::string(rfcfiles::kLargestSettingsFile, '*'));
  f.tree.Write("SapRfc.ini", "DEST=QAS\n");
  EXPECT_EQ(f.Open(), 0u);
  EXPECT_TRUE(f.fake.opens.empty());
  EXPECT_EQ(f.tree.Read("SapRfc.ini"), "DEST=QAS\n");
  EXPECT_EQ(f.os.stdout_text, "* SapRfc.Ini.......: PRD<\n");
}

TEST(OpenConnection, LogLineCarriesTheHandle) {
  Fixture f;
  f.fake.open_result = 0;
  f.rfc.OpenLog("");
  EXPECT_EQ(f.Open(), 0u);
  EXPECT_EQ(f.tree.Read("Kestrovan.Log"), "0 RfcOpen called \n");
}

} // namespace
