// Whole global listing runs in-process: counting, channels, carried-over values, error endings.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <regex>
#include <set>

#include "driver/sensor.h"
#include "fake_rfc_library.h"
#include "sensor_texts.h"
#include "test_platform.h"
#include "profile/password_scrambler.h"

using namespace kestrovan;

namespace {

const std::string kAllocation = ",Sensor=\"SAP Kestrovan\"";

std::string Profile(const std::string &destination, const std::string &host,
                    const std::string &user = "monitor") {
  std::mt19937 random(5);
  return "Extcompany.: Monitoring\nDestination: " + destination +
         "\nClient.....: 100\nUser.......: " + user +
         "\nPassword...: " + *kestrovan::ScramblePassword("Secret1", random) +
         "\nLanguage...: E\nMode.......: R/3\nHostname...: " + host +
         "\nSysnr......: 00\nGwhost.....: gw\nGwservice..: sapgw00\n";
}

std::string Channel(const std::string &name, const std::string &value) {
  return "\n<Result><Channel>" + name + "</Channel>\n<Value>" + value + "</Value></Result>\n";
}

std::string Summary(const std::string &item, int listed, int processed, int failed) {
  return "\n<Text>(***) " + item + ": NoSystems=" + std::to_string(listed) +
         ", Processed=" + std::to_string(processed) + ", Failed=" + std::to_string(failed) +
         "</Text>\n\n</Prtg>\n\n";
}

const std::string kHead = "\n<Prtg>\n\n";

/// A landscape of systems told apart by host name: missing count = the number in the host name.
struct Landscape {
  ScratchTree tree;
  TestPlatform os{tree};
  FakeRfc fake;
  std::map<std::string, std::string> database; // host -> database system (default ORACLE)
  std::set<std::string> unreachable;
  std::map<std::string, RFC_RC> check_result; // host -> receive code of the missing-indices call
  int exit_code = -1;

  Landscape() {
    fake.on_open = [this](FakeRfc &f, const SeenOpen &open) {
      const std::string &host = open.hostname;
      f.open_result = unreachable.count(host) || host.empty() ? 0 : 7;
      f.rfcsi = Rfcsi(host, database.count(host) ? database[host] : "ORACLE");
      const std::size_t digits = host.find_first_of("0123456789");
      f.missing_rows =
          digits == std::string::npos ? 0 : static_cast<unsigned>(std::stoi(host.substr(digits)));
      f.not_defined_rows = 1;
      f.receive_result.clear();
      if (check_result.count(host)) {
        f.receive_result["DB_ORA_MISSING_INDICES"] = check_result[host];
      }
    };
  }
  void Listing(const std::string &listing, const std::string &gsnx_tail) {
    tree.Write(kHostDir + "SAP Tessaloy.Gbl",
               "# GSNG: PROD      : " + listing + "\n# GSNX: PROD      : " + gsnx_tail + "\n");
  }
  void Start(std::vector<std::string> args) {
    args.insert(args.begin(), "kestrovan");
    exit_code = RunSensor(os, fake.Library(), args);
  }
};

TEST(GlobalListingRun, TwoSystemsByAlias) {
  Landscape l;
  l.tree.Write(kHostDir + "PRD.P00", Profile("PRD", "host12"));
  l.tree.Write(kHostDir + "QAS.P00", Profile("QAS", "host3"));
  l.Listing("PRD.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + ",Alias");
  l.Start({"GLOBAL", "PROD"});
  EXPECT_EQ(l.exit_code, 0);
  EXPECT_EQ(l.os.stdout_text, kHead + Channel("PRD", "12") + Channel("QAS", "3") +
                                  Summary("Missing_Idices", 2, 2, 0));
}

TEST(GlobalListingRun, CountingRules) {
  struct {
    const char *name;
    std::string listing;
    std::string gsnx;
    std::string expected_channels;
    int listed, processed, failed;
  } cases[] = {
      {"missing_profile_counts_only_as_listed", "PRD.P00#NONE.P00#",
       "Item=Missing_Idices" + kAllocation, Channel("PRD.P00", "12"), 2, 1, 0},
      {"leading_empty_entry", "#PRD.P00#", "Item=Missing_Idices" + kAllocation,
       Channel("PRD.P00", "12"), 2, 1, 0},
      {"last_entry_without_end_mark", "PRD.P00#QAS.P00",
       "Item=Missing_Idices" + kAllocation + ",Sid", Channel("PRD", "12") + Channel("QAS", "3"), 2,
       2, 0},
      {"other_item_writes_no_channel", "PRD.P00#QAS.P00#", "Item=Anything" + kAllocation, "", 2, 2,
       0},
      {"not_defined_item", "PRD.P00#", "Item=Index_Undefined" + kAllocation + ",Host",
       Channel("host12", "1"), 1, 1, 0},
      {"unreachable_in_the_middle", "PRD.P00#DOWN.P00#QAS.P00#",
       "Item=Missing_Idices" + kAllocation + ",Alias", Channel("PRD", "12") + Channel("QAS", "3"),
       3, 2, 1},
      {"failing_check_in_the_middle", "PRD.P00#FAIL.P00#QAS.P00#",
       "Item=Missing_Idices" + kAllocation + ",Alias", Channel("PRD", "12") + Channel("QAS", "3"),
       3, 2, 1},
      {"failing_check_last_is_not_shown", "PRD.P00#FAIL.P00#",
       "Item=Missing_Idices" + kAllocation + ",Alias", Channel("PRD", "12"), 2, 1, 1},
      {"empty_user_connects_but_fails", "PRD.P00#NOUSER.P00#",
       "Item=Missing_Idices" + kAllocation + ",Alias",
       Channel("PRD", "12") + Channel("NOUSER", "4"), 2, 1, 1},
      {"empty_profile_reuses_earlier_values", "PRD.P00#EMPTY.P00#",
       "Item=Missing_Idices" + kAllocation, Channel("PRD.P00", "12") + Channel("EMPTY.P00", "12"),
       2, 2, 0},
      {"empty_profile_first_is_faulty", "EMPTY.P00#PRD.P00#", "Item=Missing_Idices" + kAllocation,
       Channel("PRD.P00", "12"), 2, 1, 1},
  };
  for (const auto &c : cases) {
    Landscape l;
    l.tree.Write(kHostDir + "PRD.P00", Profile("PRD", "host12"));
    l.tree.Write(kHostDir + "QAS.P00", Profile("QAS", "host3"));
    l.tree.Write(kHostDir + "DOWN.P00", Profile("DWN", "down9"));
    l.tree.Write(kHostDir + "FAIL.P00", Profile("FAL", "fail7"));
    l.tree.Write(kHostDir + "NOUSER.P00", Profile("NOU", "nouser4", ""));
    l.tree.Write(kHostDir + "EMPTY.P00", "");
    l.unreachable.insert("down9");
    l.check_result["fail7"] = RFC_EXCEPTION;
    l.Listing(c.listing, c.gsnx);
    l.Start({"GLOBAL", "PROD"});
    EXPECT_EQ(l.exit_code, 0) << c.name;
    const std::string item = c.gsnx.substr(5, c.gsnx.find(',') - 5);
    EXPECT_EQ(l.os.stdout_text,
              kHead + c.expected_channels + Summary(item, c.listed, c.processed, c.failed))
        << c.name;
  }
}

TEST(GlobalListingRun, MissingGatewayServiceIsTakenFromTheSystemBefore) {
  Landscape l;
  l.tree.Write(kHostDir + "PRD.P00", Profile("PRD", "host12"));
  std::string second = Profile("QAS", "host3");
  second.erase(second.find("Gwservice..:"));
  l.tree.Write(kHostDir + "QAS.P00", second);
  l.Listing("PRD.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + ",Sid");
  l.Start({"GLOBAL", "PROD"});
  ASSERT_EQ(l.fake.opens.size(), 2u);
  EXPECT_EQ(l.fake.opens[1].gwservice, "sapgw00");
  EXPECT_NE(l.os.stdout_text.find("Processed=2, Failed=0"), std::string::npos);
}

TEST(GlobalListingRun, ErrorEndingsAfterTheChannelsWritten) {
  struct {
    const char *name;
    std::string host;
    std::string tail;
  } cases[] = {
      {"database_not_oracle", "mss5",
       "<Prtg>\n<Error>1</Error>\n<Text>Error 1018: DataBase mismatch !</Text>\n</Prtg>\n"},
      {"system_info_fails", "info6",
       "<Prtg>\n<Error>1</Error>\n<Text>Error 1013: Sys-Exception raised ! - Look for "
       "Trace-File</Text>\n</Prtg>\n"},
  };
  for (const auto &c : cases) {
    Landscape l;
    l.database["mss5"] = "MSSQL";
    l.tree.Write(kHostDir + "PRD.P00", Profile("PRD", "host12"));
    l.tree.Write(kHostDir + "BAD.P00", Profile("BAD", c.host));
    l.tree.Write(kHostDir + "QAS.P00", Profile("QAS", "host3"));
    l.Listing("PRD.P00#BAD.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + ",Alias");
    if (c.host == "info6") {
      auto play = l.fake.on_open;
      l.fake.on_open = [play](FakeRfc &f, const SeenOpen &open) {
        play(f, open);
        if (open.hostname == "info6") {
          f.receive_result["RFC_SYSTEM_INFO"] = RFC_SYS_EXCEPTION;
        }
      };
    }
    l.Start({"GLOBAL", "PROD"});
    EXPECT_EQ(l.exit_code, 2) << c.name;
    EXPECT_EQ(l.os.stdout_text, kHead + Channel("PRD", "12") + c.tail) << c.name;
    EXPECT_EQ(l.fake.calls.back(), "RfcClose 7") << c.name;
  }
}

TEST(GlobalListingRun, ConsoleLines) {
  Landscape l;
  l.os.clock = LocalTime{2024, 3, 5, 2, 9, 8, 7};
  // "@" opens the item file in the working directory, and the profiles beside it.
  l.tree.Write("PRD.P00", Profile("PRD", "host12"));
  l.tree.Write("DOWN.P00", Profile("DWN", "down9"));
  l.unreachable.insert("down9");
  l.tree.Write("Tessaloy.Prf", "# Gsng: x           PRD.P00#DOWN.P00#NONE.P00#\n");
  l.Start({"PRD", "item=Missing_Idices,a:b,# @rest"});
  EXPECT_EQ(l.exit_code, 0);
  EXPECT_EQ(l.os.stdout_text, "* 09:08:07 SAP Kestrovan Vers 4.3 / 29.08.22\n"
                              "* 09:08:07 item=Missing_Idices,a b,# State=Executing\n" +
                                  kHead + Channel("PRD.P00", "12") +
                                  "\n* 09:08:07 PRD.P00, host12, PRD, 00, 100 State=Processed\n"
                                  "\n* 09:08:07 DOWN.P00, down9, DWN, 00, 100 State=Rfc Failure\n" +
                                  Summary("Missing_Idices", 3, 1, 1) +
                                  "\n* 09:08:07 SAP Kestrovan now processed...\n");
}

TEST(GlobalListingRun, HalcrestLabelsAndTheTenChannelLimitAcrossSystems) {
  Landscape l;
  l.tree.Write("Kestrovan.Halcrest", "");
  std::string listing;
  for (int i = 1; i <= 12; ++i) {
    const std::string name = "S" + std::to_string(i) + ".P00";
    l.tree.Write("C:\\Sensors\\" + name,
                 Profile("S" + std::to_string(i) + "X", "host" + std::to_string(i)));
    listing += name + "#";
  }
  l.tree.Write("C:\\Sensors\\SAP Tessaloy.Gbl", "# GSNG: PROD      : " + listing +
                                                    "\n# GSNX: PROD      : Item=Missing_Idices" +
                                                    kAllocation + ",Alias\n");
  l.Start({"C:\\Sensors\\GLOBAL", "PROD"});
  EXPECT_EQ(l.exit_code, 0);
  std::string expected = "\n";
  for (int i = 1; i <= 10; ++i) {
    const std::string s = "S" + std::to_string(i);
    expected += "\n\nMessage." + s + ": " + s + " (#)\nStatistic." + s + ": " + std::to_string(i);
  }
  expected += "\n# (***) Missing_Idices: NoSystems=12, Processed=12, Failed=0\n\n";
  EXPECT_EQ(l.os.stdout_text, expected);
}

} // namespace

namespace {

TEST(GlobalListingRun, ACloseTheTimeRunsOutOnCountsItsSystemAndTheWalkStopsAfterIt) {
  Landscape l;
  l.tree.Write(kHostDir + "PRD.P00", Profile("PRD", "host12"));
  l.tree.Write(kHostDir + "QAS.P00", Profile("QAS", "host3"));
  l.fake.close_takes = std::chrono::seconds(3);
  l.Listing("PRD.P00#QAS.P00#", "Item=Missing_Idices,,TIMEOUT=1" + kAllocation + ",Alias");
  l.Start({"GLOBAL", "PROD"});
  EXPECT_EQ(l.exit_code, 0);
  EXPECT_EQ(l.os.stdout_text, kHead + Channel("PRD", "12") +
                                  "\n<Text>(***) Missing_Idices: NoSystems=2, Processed=1, "
                                  "Failed=1, Time limit of 1 s reached at QAS.P00, Not "
                                  "reached=1</Text>\n\n</Prtg>\n\n");
}

TEST(GlobalListingRun, TheWalkItselfEndsAtTheTimeLimit) {
  // 200,000 profiles that are not there: no library call, but lookups that take far longer than
  // the limit.
  Landscape l;
  std::string file;
  std::string line;
  for (int i = 0; i < 200000; ++i) {
    char entry[16];
    std::snprintf(entry, sizeof entry, "M%07d.P00#", i);
    line += entry;
    if (line.size() >= 168) {
      file += "# GSNG: PROD      : " + line + "\n";
      line.clear();
    }
  }
  file += "# GSNG: PROD      : " + line + "\n# GSNX: PROD      : Item=Missing_Idices,,TIMEOUT=1" +
          kAllocation + "\n";
  l.tree.Write(kHostDir + "SAP Tessaloy.Gbl", file);
  const auto start = std::chrono::steady_clock::now();
  l.Start({"GLOBAL", "PROD"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(l.exit_code, 0);
  const std::regex summary(kHead + "\n<Text>\\(\\*\\*\\*\\) Missing_Idices: NoSystems=200000, "
                                   "Processed=0, Failed=([0-9]+), Time limit of 1 s reached at "
                                   "M[0-9]{7}\\.P00, Not reached=\\1</Text>\n\n</Prtg>\n\n");
  EXPECT_TRUE(std::regex_match(l.os.stdout_text, summary)) << l.os.stdout_text;
}

/// Answers that the listing's missing profiles are not there without asking the file system:
/// what is walked is the listing, not a hundred thousand lookups, which a busy machine may take
/// longer for than the run's time limit.
class MissingProfilesAtOnce : public TestPlatform {
public:
  using TestPlatform::TestPlatform;
  std::unique_ptr<TextSource> OpenText(const std::string &path) override {
    return path.find("MISSING_") != std::string::npos ? nullptr : TestPlatform::OpenText(path);
  }
};

TEST(GlobalListingRun, ListingsOfSeveralMegabytes) {
  Landscape l;
  MissingProfilesAtOnce os(l.tree);
  l.tree.Write(kHostDir + "PRD.P00", Profile("PRD", "host12"));
  // 100,000 entries of 24 characters on listing lines of 188 characters: over 2 MiB of listing.
  std::string file;
  std::string line;
  for (int i = 0; i < 100000; ++i) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "MISSING_%011d.P00#", i);
    line += entry;
    if (line.size() >= 168) {
      file += "# GSNG: PROD      : " + line + "\n";
      line.clear();
    }
  }
  file += "# GSNG: PROD      : " + line + "PRD.P00#\n# GSNX: PROD      : Item=Missing_Idices" +
          kAllocation + ",Alias\n";
  ASSERT_GT(file.size(), 2u * 1024 * 1024);
  l.tree.Write(kHostDir + "SAP Tessaloy.Gbl", file);
  EXPECT_EQ(RunSensor(os, l.fake.Library(), {"kestrovan", "GLOBAL", "PROD"}), 0);
  EXPECT_EQ(os.stdout_text, kHead + Channel("PRD", "12") + Summary("Missing_Idices", 100001, 1, 0));
}

} // namespace
