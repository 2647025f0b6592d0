// The libraries' file formats: connect texts, SapRfc.ini entries, the time-limits files, the
// trace block, and how their files are read and appended.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <map>

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/connect_data.h"
#include "rfcfiles/destination_file.h"
#include "rfcfiles/limits_file.h"
#include "rfcfiles/standin_settings.h"
#include "rfcfiles/trace_block.h"
#include "support/scoped_temp_dir.h"

namespace kestrovan_test {
namespace {

TEST(ConnectTextTest, KeysAreUpperCasedAndValuesKept) {
  rfcfiles::ConnectValues settings;
  std::string problem;
  ASSERT_TRUE(rfcfiles::ParseConnectText(
      "  client=100 User=Monitor PASSWD=\"a b=c\"\tlang=D DEST=PRD  ", settings, problem))
      << problem;
  EXPECT_EQ(settings, (rfcfiles::ConnectValues{{"CLIENT", "100"},
                                               {"USER", "Monitor"},
                                               {"PASSWD", "a b=c"},
                                               {"LANG", "D"},
                                               {"DEST", "PRD"}}));
}

TEST(ConnectTextTest, EmptyValueAndEmptyText) {
  rfcfiles::ConnectValues settings;
  std::string problem;
  ASSERT_TRUE(rfcfiles::ParseConnectText("PASSWD= DEST=PRD", settings, problem)) << problem;
  EXPECT_EQ(settings["PASSWD"], "");
  rfcfiles::ConnectValues none;
  EXPECT_TRUE(rfcfiles::ParseConnectText("", none, problem));
  EXPECT_TRUE(none.empty());
}

TEST(ConnectTextTest, ProblemsNameThePlaceButNeverAValue) {
  struct Case {
    const char *text;
    const char *problem;
  };
  const Case cases[] = {
      {"CLIENT=100 s3cr3t", "position 12 has no '='"},
      {"=s3cr3t", "invalid key at position 1"},
      {"PA-SS=s3cr3t", "invalid key"},
      {"PASSWD=\"s3cr3t", "PASSWD lacks its closing quote"},
  };
  for (const Case &c : cases) {
    rfcfiles::ConnectValues settings;
    std::string problem;
    EXPECT_FALSE(rfcfiles::ParseConnectText(c.text, settings, problem)) << c.text;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.text << ": " << problem;
    EXPECT_EQ(problem.find("s3cr3t"), std::string::npos) << problem;
  }
}

constexpr const char *kIni =
    "/*====================================================================*/\n"
    "/* Type A: specific application server                                 */\n"
    "/*====================================================================*/\n"
    "* comment line\n"
    "# another comment\n"
    "DEST=QAS\n"
    "TYPE=A\n"
    "ASHOST=qashost\n"
    "SYSNR=01\n"
    "/* a comment\n"
    "   over two lines with DEST=PRD inside */\n"
    "DEST=PRD\r\n"
    "  type = A  \r\n"
    "ASHOST=127.1.2.3\r\n"
    "SYSNR=05\r\n"
    "RFC_TRACE=0\r\n"
    "=no key\r\n"
    "DEST=DEV\n"
    "ASHOST=devhost\n";

TEST(SapRfcIniTest, FindsTheNamedEntryOnly) {
  rfcfiles::ConnectValues entry;
  ASSERT_TRUE(rfcfiles::FindDestinationEntry(kIni, "PRD", entry));
  EXPECT_EQ(entry,
            (rfcfiles::ConnectValues{
                {"TYPE", "A"}, {"ASHOST", "127.1.2.3"}, {"SYSNR", "05"}, {"RFC_TRACE", "0"}}));
  rfcfiles::ConnectValues last;
  ASSERT_TRUE(rfcfiles::FindDestinationEntry(kIni, "DEV", last));
  EXPECT_EQ(last["ASHOST"], "devhost");
}

TEST(SapRfcIniTest, DestinationNamesAreCaseSensitive) {
  rfcfiles::ConnectValues entry;
  EXPECT_FALSE(rfcfiles::FindDestinationEntry(kIni, "prd", entry));
  EXPECT_FALSE(rfcfiles::FindDestinationEntry(kIni, "XYZ", entry));
  EXPECT_FALSE(rfcfiles::FindDestinationEntry("", "PRD", entry));
}

// Both libraries look the destination up this way, each reading the files its own way.
TEST(SapRfcIniTest, TheEntryIsLookedUpUnderEitherNameOfTheFile) {
  const std::string entry = "DEST=PRD\nASHOST=h\nSYSNR=05\n";
  const struct {
    const char *name;
    std::map<std::string, std::string> files; // "big": larger than the bound
    rfcfiles::EntryLookup result;
    std::string problem;
    std::string host;
  } cases[] = {
      {"upper", {{"SapRfc.ini", entry}}, rfcfiles::EntryLookup::Found, "", "h"},
      {"lower", {{"saprfc.ini", entry}}, rfcfiles::EntryLookup::Found, "", "h"},
      {"upper first",
       {{"SapRfc.ini", entry}, {"saprfc.ini", "DEST=PRD\nASHOST=other\n"}},
       rfcfiles::EntryLookup::Found,
       "",
       "h"},
      {"none",
       {},
       rfcfiles::EntryLookup::FileMissing,
       "SapRfc.ini is missing in the working directory",
       ""},
      {"too large",
       {{"SapRfc.ini", "big"}, {"saprfc.ini", entry}},
       rfcfiles::EntryLookup::FileTooLarge,
       "SapRfc.ini is larger than 1048576 bytes",
       ""},
      {"no entry",
       {{"SapRfc.ini", "DEST=QAS\nASHOST=q\n"}, {"saprfc.ini", entry}},
       rfcfiles::EntryLookup::NoEntry,
       "no DEST=PRD entry in SapRfc.ini",
       ""},
  };
  for (const auto &c : cases) {
    const rfcfiles::FileReader read = [&](std::string_view name, std::string &content) {
      const auto found = c.files.find(std::string(name));
      if (found == c.files.end()) {
        return rfcfiles::FileRead::Missing;
      }
      if (found->second == "big") {
        return rfcfiles::FileRead::TooLarge;
      }
      content = found->second;
      return rfcfiles::FileRead::Ok;
    };
    rfcfiles::ConnectValues values;
    const rfcfiles::DestinationLookup lookup = rfcfiles::LookUpDestination(read, "PRD", values);
    EXPECT_EQ(lookup.result, c.result) << c.name;
    EXPECT_EQ(lookup.problem, c.problem) << c.name;
    EXPECT_EQ(values["ASHOST"], c.host) << c.name;
  }
}

TEST(LimitsFileTest, KeysInAnyCaseOverTheDefaults) {
  using std::chrono::milliseconds;
  const rfcfiles::TimeLimits defaults{milliseconds(10000), milliseconds(20000),
                                      milliseconds(45000)};
  const struct {
    const char *text;
    milliseconds connect, call, connection;
  } cases[] = {
      {"", milliseconds(10000), milliseconds(20000), milliseconds(45000)},
      {"CALL_TIMEOUT=500ms\r\nconnect_timeout = 2.5s\nCONNECTION_TIMEOUT=30", milliseconds(2500),
       milliseconds(500), milliseconds(30000)},
      {"# CALL_TIMEOUT=1\n;CALL_TIMEOUT=1\n* CALL_TIMEOUT=1\nCALL_TIMEOUT=0\nCALL_TIMEOUT=3601\n"
       "CALL_TIMEOUT=-1\nCALL_TIMEOUT=1e3\nCALL_TIMEOUT=5 s x\nOTHER=1\nCALL_TIMEOUT",
       milliseconds(10000), milliseconds(20000), milliseconds(45000)},
  };
  for (const auto &c : cases) {
    const rfcfiles::TimeLimits limits = rfcfiles::ParseTimeLimits(c.text, defaults);
    EXPECT_EQ(limits.connect, c.connect) << c.text;
    EXPECT_EQ(limits.call, c.call) << c.text;
    EXPECT_EQ(limits.connection, c.connection) << c.text;
  }
}

TEST(LimitsFileTest, Durations) {
  struct Case {
    const char *text;
    long long milliseconds; // -1: rejected
  };
  const Case cases[] = {
      {"5", 5000},    {"5s", 5000},    {"2.5", 2500},        {"0.25s", 250},
      {"500ms", 500}, {" 1 ", 1000},   {"3600", 3600000},    {"0", -1},
      {"0ms", -1},    {"3601", -1},    {"1.5ms", -1},        {"abc", -1},
      {"", -1},       {"-5", -1},      {"1.2345", -1},       {"5 s", 5000},
      {"1e3", -1},    {"2.5555s", -1}, {"4294967297ms", -1}, {"18446744073709551617", -1}};
  for (const Case &c : cases) {
    std::chrono::milliseconds duration{-1};
    const bool ok = rfcfiles::ParseDuration(c.text, duration);
    EXPECT_EQ(ok, c.milliseconds >= 0) << c.text;
    if (ok) {
      EXPECT_EQ(duration.count(), c.milliseconds) << c.text;
    }
  }
}

TEST(StandinSettingsTest, TestNetworksWidenTheReachBeyondLoopbackOnly) {
  const rfcfiles::StandinSettings settings = rfcfiles::ParseStandinSettings(
      "TEST_NETWORK=192.0.2.0/24, 198.51.100.7\n"
      " test_network = 2001:DB8::/32\r\n"
      "# TEST_NETWORK=203.0.113.0/24\n"
      "TEST_NETWORK=10.0.0.0/33 300.1.1.1 10.1.2 fe80:::1 1:2:3:4:5:6:7:8:9 172.16.0.1/-1\n"
      "CALL_TIMEOUT=3\n",
      rfcfiles::TimeLimits{});
  EXPECT_EQ(settings.limits.call.count(), 3000);
  using rfcwire::Address;
  const Address v6_in{0x20, 0x01, 0x0d, 0xb8, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const Address v6_out{0x20, 0x01, 0x0d, 0xb9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const Address v6_loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  const Address v4_compatible{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 1};
  struct {
    const char *name;
    Address address;
    bool allowed;
  } cases[] = {
      {"loopback", rfcwire::MappedIpv4(127, 31, 4, 9), true},
      {"ipv6 loopback", v6_loopback, true},
      {"not mapped, so not 127.0.0.1", v4_compatible, false},
      {"in the /24", rfcwire::MappedIpv4(192, 0, 2, 200), true},
      {"next to the /24", rfcwire::MappedIpv4(192, 0, 3, 1), false},
      {"single address", rfcwire::MappedIpv4(198, 51, 100, 7), true},
      {"next to it", rfcwire::MappedIpv4(198, 51, 100, 8), false},
      {"commented out", rfcwire::MappedIpv4(203, 0, 113, 1), false},
      {"prefix too long", rfcwire::MappedIpv4(10, 0, 0, 1), false},
      {"unusable entry", rfcwire::MappedIpv4(172, 16, 0, 1), false},
      {"in the ipv6 /32", v6_in, true},
      {"next to it", v6_out, false},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(settings.reach.Allows(c.address), c.allowed) << c.name;
    EXPECT_EQ(rfcwire::Reach{}.Allows(c.address), rfcwire::IsLoopback(c.address)) << c.name;
  }
  EXPECT_EQ(settings.reach.test_networks.size(), 3u);
  EXPECT_EQ(rfcwire::AddressText(v6_in), "2001:db8:ffff::1");
  EXPECT_EQ(rfcwire::AddressText(rfcwire::MappedIpv4(192, 0, 2, 1)), "192.0.2.1");
}

TEST(TraceBlockTest, BlockBytes) {
  const rfcfiles::TraceStamp stamp{2024, 3, 7, 4, 9, 5, 3, "Central European Summer Time"};
  const rfcfiles::TraceEntry entry{"RfcOpen to 127.0.0.5:3300", "partner not reached", 1,
                                   "connect: Connection refused"};
  EXPECT_EQ(rfcfiles::FormatTraceBlock(entry, stamp, {"700,0,0", "STANDIN", "RFC stand-in"}, 7),
            "**** ERROR file opened at 20240307 090503 Central Europea, SAP-REL 700,0,0 RFC-VER 3 "
            "STANDIN\n"
            "LOCATION    RfcOpen to 127.0.0.5:3300\n"
            "ERROR       partner not reached\n"
            "TIME        Thu Mar 07 09:05:03 2024\n"
            "RELEASE     700\n"
            "COMPONENT   RFC stand-in\n"
            "VERSION     3\n"
            "RC          1\n"
            "DETAIL      connect: Connection refused\n"
            "COUNTER     7\n"
            "\n");
}

TEST(TraceBlockTest, PartnerTextsCannotForgeLines) {
  const rfcfiles::TraceEntry entry{"x", "bad\n**** ERROR forged\rERROR       forged", 1, ""};
  const std::string block =
      rfcfiles::FormatTraceBlock(entry, {}, {"7500,0,0", "NWRFC", "NW RFC binding"}, 1);
  EXPECT_EQ(block.rfind("**** ERROR file opened at 19700101 000000, SAP-REL 7500,0,0 RFC-VER 3 "
                        "NWRFC\n",
                        0),
            0u)
      << "no zone, no blank for it";
  EXPECT_NE(block.find("ERROR       bad **** ERROR forged ERROR       forged\n"), std::string::npos)
      << block;
  EXPECT_EQ(block.find("DETAIL"), std::string::npos) << "no DETAIL line without a detail";
}

// SAP writes some values over two lines, the second indented and without a key; its lines may
// end in CR LF.
TEST(TraceBlockTest, KeyedValuesRunOnAndLeaveTheirLineEnds) {
  const struct {
    std::string message;
    std::string error; // the ERROR value; empty: not a block of keyed lines
  } cases[] = {
      {"LOCATION    CPIC (TCP/IP) on local host with Unicode\n"
       "ERROR       Unable to load the GSS-API DLL\n"
       "             named \"C:\\nosuch\\sapcrypto.dll\"\n"
       "TIME        Thu Mar 07 09:05:03 2024\n",
       "Unable to load the GSS-API DLL named \"C:\\nosuch\\sapcrypto.dll\""},
      {"LOCATION    CPIC\r\nERROR       partner '10.1.2.3:3300' not reached\r\nRC          -10\r\n",
       "partner '10.1.2.3:3300' not reached"},
      {"ERROR\n             timeout occured\nRC          -10\n", "timeout occured"},
      {"   runs on from nothing\nERROR       x\nRC          1\n", ""},
  };
  for (const auto &c : cases) {
    const std::vector<std::string> lines = rfcfiles::KeyedLines(c.message);
    EXPECT_EQ(rfcfiles::KeyedValue(lines, "ERROR"), c.error) << c.message;
    for (const std::string &line : lines) {
      EXPECT_EQ(line.find('\r'), std::string::npos) << c.message;
    }
  }
}

#ifndef _WIN32
TEST(BoundedFileTest, OnlyRegularFilesOfBoundedSizeAreRead) {
  ScopedTempDir folder;
  const std::string fifo = (folder.Path() / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string small = folder.Write("small", "DEST=PRD\r\n").string();
  const std::string ended = folder.Write("ended", "DEST=PRD\r\n\x1a" "DEST=QAS\r\n").string();
  const std::string large = folder.Write("large", std::string(70 * 1024, 'x')).string();
  const struct {
    std::string path;
    rfcfiles::FileRead read;
    std::string content;
  } cases[] = {
      {small, rfcfiles::FileRead::Ok, "DEST=PRD\n"},
      {ended, rfcfiles::FileRead::Ok, "DEST=PRD\n"}, // as the binding reads it
      {large, rfcfiles::FileRead::TooLarge, ""},
      {fifo, rfcfiles::FileRead::Missing, ""}, // never waits for a writer
      {"/dev/zero", rfcfiles::FileRead::Missing, ""},
      {folder.Path().string(), rfcfiles::FileRead::Missing, ""},
      {(folder.Path() / "none").string(), rfcfiles::FileRead::Missing, ""},
      {std::string("small\0x", 7), rfcfiles::FileRead::Missing, ""},
  };
  for (const auto &c : cases) {
    std::string content = "left over";
    EXPECT_EQ(rfcfiles::ReadTextFile(c.path, 64 * 1024, content), c.read) << c.path;
    EXPECT_EQ(content, c.content) << c.path;
  }
  EXPECT_FALSE(rfcfiles::AppendToRegularFile(fifo, "x\n")) << "no reader: refused, not waited on";
  EXPECT_FALSE(rfcfiles::AppendToRegularFile("/dev/null", "x\n"));
  const std::string trace = (folder.Path() / "Dev_Rfc.Trc").string();
  EXPECT_TRUE(rfcfiles::AppendToRegularFile(trace, "one\n"));
  EXPECT_TRUE(rfcfiles::AppendToRegularFile(trace, "two\n"));
  EXPECT_EQ(folder.Read("Dev_Rfc.Trc"), "one\ntwo\n");
}
#endif

} // namespace
} // namespace kestrovan_test
