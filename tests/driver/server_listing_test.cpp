// Reading the global selection from "SAP Tessaloy.Gbl" and "Tessaloy.Prf", with every error.
#include <gtest/gtest.h>

#include <map>

#include "driver/server_listing.h"
#include "sensor_texts.h"
#include "test_platform.h"

using namespace kestrovan;

namespace {

const std::string kAllocation = ",Sensor=\"SAP Kestrovan\"";

struct Selection {
  ScratchTree tree;
  TestPlatform os{tree};
  GlobalSelection selection;
  int exit_code = 0;

  Selection(const std::string &file, const std::string &content, std::vector<std::string> args) {
    if (!file.empty()) {
      tree.Write(kHostDir + file, content);
    }
    args.insert(args.begin(), "kestrovan");
    const OrEnding<StartedUp> started = StartUp(os, args);
    if (const auto *ending = std::get_if<ErrorEnding>(&started)) {
      End(*ending);
      return;
    }
    const RunSetup &run = std::get<StartedUp>(started).setup;
    OrEnding<GlobalSelection> read =
        ReadServerListing(os, run.profile, run.options, run.sensor_argument);
    if (const auto *ending = std::get_if<ErrorEnding>(&read)) {
      End(*ending);
      return;
    }
    selection = std::get<GlobalSelection>(std::move(read));
  }

  void End(const ErrorEnding &ending) {
    os.WriteStdout(ErrorDocument(ending.text));
    exit_code = 2;
  }
};

Selection Listing(const std::string &content, std::vector<std::string> args = {"GLOBAL", "prod"}) {
  return Selection("SAP Tessaloy.Gbl", content, std::move(args));
}

TEST(ServerListing, ListingRouteSelectsTheNamedSensorInAnyCase) {
  Selection s = Listing("# GSNG: PROD      : A.P00#\n"
                        "# gsng: Prod      x:B.P00#\r\n"
                        "# GSNG: TEST      : T.P00#\n"
                        "# GSNX: prod      : Item=Missing_Idices,,HOST=h1" +
                        kAllocation +
                        ",Alias\n"
                        "# GSNX: TEST      : Item=Other" +
                        kAllocation + ",Sid\n");
  EXPECT_EQ(s.exit_code, 0) << s.os.stdout_text;
  EXPECT_EQ(s.selection.listing, "A.P00#B.P00#");
  EXPECT_EQ(s.selection.item, "Missing_Idices");
  EXPECT_EQ(s.selection.kind, EntryKind::Alias);
  EXPECT_EQ(s.selection.options.text, " Item=Missing_Idices,,HOST=h1")
      << "the options now come from the listing";
  EXPECT_EQ(s.selection.options.overrides.hostname, "h1");
}

TEST(ServerListing, NameComparison) {
  struct {
    const char *arg;
    const char *line_name;
    bool selected;
  } cases[] = {
      {"PRODUCTION1", "PRODUCTION2", true}, {"prod", "PROD      ", true},
      {"prod rest", "PROD      ", true},    {"prod", "PROD:     ", false},
      {"PROD", "PRODX     ", false},
  };
  for (const auto &c : cases) {
    const std::string name = c.line_name;
    Selection s =
        Listing("# GSNG: " + name + ": A.P00#\n# GSNX: " + name + ": Item=X" + kAllocation + "\n",
                {"GLOBAL", c.arg});
    EXPECT_EQ(s.exit_code == 0, c.selected)
        << c.arg << " / " << c.line_name << ": " << s.os.stdout_text;
  }
}

TEST(ServerListing, EntryKindAndItem) {
  struct {
    std::string gsnx;
    EntryKind kind;
    const char *item;
  } cases[] = {
      {"Item=A:B,more" + kAllocation + ",Alias,Host", EntryKind::Host, "A B"},
      {"Item=X" + kAllocation + ",Alias,Sid", EntryKind::Sid, "X"},
      {"Item=X" + kAllocation, EntryKind::Profile, "X"},
      {"Item=X Y" + kAllocation + ",Profile", EntryKind::Profile, "X"},
      {"Item=X" + kAllocation + ",alias", EntryKind::Profile, "X"},
  };
  for (const auto &c : cases) {
    Selection s = Listing("# GSNG: PROD      : A.P00#\n# GSNX: PROD      :" + c.gsnx + "\n");
    EXPECT_EQ(s.selection.kind, c.kind) << c.gsnx;
    EXPECT_EQ(s.selection.item, c.item) << c.gsnx;
  }
}

TEST(ServerListing, LaterExtensionLineReplacesTextButKindOnlyByItsKeywords) {
  Selection s = Listing("# GSNG: PROD      : A.P00#\n"
                        "# GSNX: PROD      : Item=First,,SYSLOG" +
                        kAllocation +
                        ",Alias\n"
                        "# GSNX: PROD      : Item=Second" +
                        kAllocation + "\n");
  EXPECT_EQ(s.selection.item, "Second");
  EXPECT_EQ(s.selection.options.text, " Item=Second");
  EXPECT_EQ(s.selection.kind, EntryKind::Alias);
}

TEST(ServerListing, OptionsAfterTheAllocationHaveNoEffectAndColonsBecomeBlanks) {
  Selection s = Listing("# GSNG: PROD      : A.P00#\n# GSNX: PROD      : Item=X,a:b" + kAllocation +
                        ",HOST=h\n");
  EXPECT_EQ(s.selection.options.text, " Item=X,a b");
}

// The monitor's timeout is set per sensor; a global sensor's own parameters are its command line.
TEST(ServerListing, TheCommandLinesTimeLimitHoldsOverTheListings) {
  const struct {
    std::vector<std::string> args;
    std::string gsnx;
    int seconds;
  } cases[] = {
      {{"GLOBAL", "PROD", ",TIMEOUT=290"}, ",TIMEOUT=40", 290},
      {{"GLOBAL", "PROD", ",TIMEOUT=290"}, "", 290},
      {{"GLOBAL", "PROD"}, ",TIMEOUT=40", 40},
      {{"GLOBAL", "PROD", ",TIMEOUT=29s"}, ",TIMEOUT=40", 40},
      {{"GLOBAL", "PROD"}, "", kDefaultTimeLimitSeconds},
  };
  for (const auto &c : cases) {
    Selection s = Listing("# GSNG: PROD      : A.P00#\n# GSNX: PROD      : Item=X" + c.gsnx +
                              kAllocation + "\n",
                          c.args);
    EXPECT_EQ(s.exit_code, 0) << c.args.back() << c.gsnx;
    EXPECT_EQ(s.selection.options.time_limit_seconds, c.seconds) << c.args.back() << c.gsnx;
  }
}

TEST(ServerListing, Errors) {
  const std::string ok_listing = "# GSNG: PROD      : A.P00#\n";
  struct {
    const char *name;
    std::string content;
    std::vector<std::string> args;
    std::string text;
  } cases[] = {
      {"allocation_missing",
       ok_listing + "# GSNX: PROD      : Item=X,Sensor=SAP Kestrovan\n",
       {"GLOBAL", "PROD"},
       "Error 1029: Invalid Sensor-Allocation..."},
      {"allocation_other_case",
       ok_listing + "# GSNX: PROD      : Item=X,Sensor=\"SAP KESTROVAN\"\n",
       {"GLOBAL", "PROD"},
       "Error 1029: Invalid Sensor-Allocation..."},
      {"allocation_first_line_counts",
       ok_listing + "# GSNX: PROD      : Item=X\n# GSNX: PROD      : Item=X" + kAllocation + "\n",
       {"GLOBAL", "PROD"},
       "Error 1029: Invalid Sensor-Allocation..."},
      {"sensor_not_found",
       ok_listing,
       {"GLOBAL", "Prod"},
       "Error 1030: Global Sensor Prod not found..."},
      {"sensor_not_found_no_argument",
       ok_listing,
       {"GLOBAL"},
       "Error 1030: Global Sensor  not found..."},
      {"no_listing",
       "# GSNX: PROD      : Item=X" + kAllocation + "\n",
       {"GLOBAL", "PROD"},
       "Error 1025: Global Server Listing missing..."},
      {"no_item",
       ok_listing + "# GSNX: PROD      : item=X" + kAllocation + "\n",
       {"GLOBAL", "PROD"},
       "Error 1026: Global Item Idenification missing..."},
  };
  for (const auto &c : cases) {
    Selection s = Listing(c.content, c.args);
    EXPECT_EQ(s.exit_code, 2) << c.name;
    EXPECT_EQ(s.os.stdout_text, ExpectedError(c.text)) << c.name;
  }
}

TEST(ServerListing, ItemRoute) {
  Selection s("Tessaloy.Prf",
              "# Gsng: anything  : A.P00#\n"
              "# GSNG: PROD      : X.P00#\n"
              "# Gsng:x           B.P00#\n"
              "# Gsng: other name: C.P00#\n"
              "# Gsng:\n",
              {"PRD", "ITEM=Index_Undefined,,NO=5"});
  EXPECT_EQ(s.exit_code, 0) << s.os.stdout_text;
  EXPECT_EQ(s.selection.listing, "A.P00#C.P00#");
  EXPECT_EQ(s.selection.item, "Index_Undefined");
  EXPECT_EQ(s.selection.kind, EntryKind::Profile);
  EXPECT_EQ(s.selection.options.text, "ITEM=Index_Undefined,,NO=5");
}

TEST(ServerListing, ItemRouteWithoutListing) {
  Selection s("Tessaloy.Prf", "# GSNG: PROD      : X.P00#\n", {"PRD", "ITEM=X"});
  EXPECT_EQ(s.os.stdout_text, ExpectedError("Error 1025: Global Server Listing missing..."));
}

TEST(ServerListing, LongLinesAreReadIn199CharacterPieces) {
  // The piece after the first 199 characters is a line of its own and can be a listing line.
  const std::string long_line = "# comment " + std::string(189, '-');
  ASSERT_EQ(long_line.size(), kListingPiece);
  Selection s = Listing(long_line + "# GSNG: PROD      : A.P00#\n# GSNX: PROD      : Item=X" +
                        kAllocation + "\n");
  EXPECT_EQ(s.selection.listing, "A.P00#");
}

} // namespace
