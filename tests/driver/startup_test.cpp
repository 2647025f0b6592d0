// Start-up: command line, options, the sensor directory search and every start-up error ending.
#include <gtest/gtest.h>

#include <map>

#include "driver/startup.h"
#include "sensor_texts.h"
#include "test_platform.h"

using namespace kestrovan;

namespace {

const std::string kX86Dir = "\\Program Files (x86)\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\";
const std::string kGermanDir = "\\Programme\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\";

struct Case {
  const char *name;
  std::map<std::string, std::string> files; // Windows path -> content
  std::vector<std::string> args;            // after the program path
  std::string stdout_text;                  // expected; empty when start-up succeeds
  std::string directory;                    // expected ProfileDirectory on success
  std::string profile_name;                 // expected ProfileName on success
  bool global = false;
};

std::vector<Case> Cases() {
  const std::string e1002 = "Error 1002: Profile ";
  return {
      {"no_argument",
       {},
       {},
       ExpectedError("Error 1001: Parameter for Profile-Name is missing !"),
       "",
       ""},
      {"found_in_program_files", {{kHostDir + "PRD.P00", "p"}}, {"PRD"}, "", kHostDir, "PRD.P00"},
      {"found_in_programme",
       {{kGermanDir + "PRD.P00", "p"}, {kX86Dir + "PRD.P00", "p"}},
       {"PRD"},
       "",
       kGermanDir,
       "PRD.P00"},
      {"found_in_x86", {{kX86Dir + "PRD.P00", "p"}}, {"PRD"}, "", kX86Dir, "PRD.P00"},
      {"directory_of_argument_is_not_used",
       {{kHostDir + "PRD.P00", "p"}},
       {"D:\\Other\\PRD"},
       "",
       kHostDir,
       "PRD.P00"},
      {"own_extension_kept", {{kHostDir + "PRD.TXT", "p"}}, {"PRD.TXT"}, "", kHostDir, "PRD.TXT"},
      {"extension_added_after_inner_dot",
       {{kHostDir + "AB.CD.P00", "p"}},
       {"AB.CD"},
       "",
       kHostDir,
       "AB.CD.P00"},
      {"short_name_gets_extension", {{kHostDir + "AB.P00", "p"}}, {"AB"}, "", kHostDir, "AB.P00"},
      {"missing_everywhere", {}, {"PRD"}, ExpectedError(e1002 + "PRD.P00 is missing..."), "", ""},
      {"only_in_working_directory",
       {{"PRD.P00", "p"}},
       {"PRD"},
       ExpectedError("Sorry, invalid Path-Usage..."),
       "",
       ""},
      {"a_directory_is_not_a_profile",
       {{kHostDir + "PRD.P00\\inner", "p"}},
       {"PRD"},
       ExpectedError(e1002 + "PRD.P00 is missing..."),
       "",
       ""},
      {"install_file_last_directory_wins",
       {{"C:\\PRTG_Path.Txt", "plain words\nE:\\Old\nD:\\Monitor\n"},
        {"D:\\Monitor\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\PRD.P00", "p"}},
       {"PRD"},
       "",
       "D:\\Monitor\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\",
       "PRD.P00"},
      {"install_file_custom_sensors_below",
       {{"C:\\PRTG_Path.Txt", "D:\\Monitor\\\r\n"},
        {"D:\\Monitor\\Custom Sensors\\ExeXml\\PRD.P00", "p"}},
       {"PRD"},
       "",
       "D:\\Monitor\\Custom Sensors\\ExeXml\\",
       "PRD.P00"},
      {"install_file_without_directory_starts_at_root",
       {{"C:\\PRTG_Path.Txt", "nothing here\n"}, {"\\Custom Sensors\\ExeXml\\PRD.P00", "p"}},
       {"PRD"},
       "",
       "\\Custom Sensors\\ExeXml\\",
       "PRD.P00"},
      {"install_file_backslash_in_third_column",
       {{"C:\\PRTG_Path.Txt", "ab\\Monitor"},
        {"ab\\Monitor\\Custom Sensors\\ExeXml\\PRD.P00", "p"}},
       {"PRD"},
       "",
       "ab\\Monitor\\Custom Sensors\\ExeXml\\",
       "PRD.P00"},
      {"install_file_profile_missing_skips_built_in",
       {{"C:\\PRTG_Path.Txt", "D:\\Monitor\n"}, {kHostDir + "PRD.P00", "p"}},
       {"PRD"},
       ExpectedError(e1002 + "PRD.P00 is missing..."),
       "",
       ""},
      {"install_file_directory_not_exexml",
       {{"C:\\PRTG_Path.Txt", "D:\\Monitor\n"}, {"D:\\Monitor\\PRD.P00", "p"}},
       {"PRD"},
       ExpectedError("Sorry, invalid Path-Usage..."),
       "",
       ""},
      // A line holding a NUL names nothing Windows could open, so it is no directory line: a
      // file before the NUL must not pass for a profile in an ExeXml folder.
      {"install_file_line_with_nul_is_no_directory",
       {{"C:\\PRTG_Path.Txt", std::string("D:\\Elsewhere\\notes.txt\0ExeXml\n", 30)},
        {"D:\\Elsewhere\\notes.txt", "Client.....: 100\n"}},
       {"PRD"},
       ExpectedError(e1002 + "PRD.P00 is missing..."),
       "",
       ""},
      {"install_file_exexml_in_any_case",
       {{"C:\\PRTG_Path.Txt", "D:\\Sensors\\exexml\n"}, {"D:\\Sensors\\exexml\\PRD.P00", "p"}},
       {"PRD"},
       "",
       "D:\\Sensors\\exexml\\",
       "PRD.P00"},
      {"at_sign_opens_where_named",
       {{"D:\\Prof\\PRD.P00", "p"}},
       {"D:\\Prof\\PRD", "@"},
       "",
       "D:\\Prof\\",
       "PRD.P00"},
      {"at_sign_working_directory", {{"PRD.P00", "p"}}, {"PRD", "x@"}, "", "", "PRD.P00"},
      {"at_sign_missing_names_path",
       {},
       {"D:\\Prof\\PRD", "@"},
       ExpectedError(e1002 + "D:\\Prof\\PRD.P00 is missing..."),
       "",
       ""},
      {"leading_backslash_only_is_not_split",
       {{"\\PRD.P00", "p"}},
       {"\\PRD", "@"},
       "",
       "",
       "\\PRD.P00"},
      {"global_listing",
       {{kHostDir + "SAP Tessaloy.Gbl", "g"}},
       {"GLOBAL", "PROD"},
       "",
       kHostDir,
       "SAP Tessaloy.Gbl",
       true},
      {"global_lower_case_with_extension",
       {{kHostDir + "SAP Tessaloy.Gbl", "g"}},
       {"Global.p00", "PROD"},
       "",
       kHostDir,
       "SAP Tessaloy.Gbl",
       true},
      {"global_missing",
       {},
       {"global"},
       ExpectedError(e1002 + "SAP Tessaloy.Gbl is missing..."),
       "",
       ""},
      {"item_route",
       {{kHostDir + "Tessaloy.Prf", "i"}},
       {"D:\\x\\PRD", "item=Big:Box,SYSLOG"},
       "",
       kHostDir,
       "Tessaloy.Prf",
       true},
      {"item_route_missing",
       {},
       {"PRD", "ITEM=Missing_Idices"},
       ExpectedError(e1002 + "Tessaloy.Prf is missing..."),
       "",
       ""},
      {"item_route_at_sign_uses_working_directory",
       {{"Tessaloy.Prf", "i"}},
       {"D:\\x\\PRD", "ITEM=A@"},
       "",
       "",
       "Tessaloy.Prf",
       true},
  };
}

TEST(StartUp, Cases) {
  for (const Case &c : Cases()) {
    ScratchTree tree;
    for (const auto &[path, content] : c.files) {
      tree.Write(path, content);
    }
    TestPlatform os(tree);
    std::vector<std::string> args = {"kestrovan"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const OrEnding<StartedUp> started = StartUp(os, args);
    if (const auto *ending = std::get_if<ErrorEnding>(&started)) {
      EXPECT_EQ(ErrorDocument(ending->text), c.stdout_text) << c.name;
    } else {
      EXPECT_EQ(c.stdout_text, "") << c.name;
      const RunSetup &run = std::get<StartedUp>(started).setup;
      EXPECT_EQ(os.stdout_text, "") << c.name;
      EXPECT_EQ(run.profile.directory, c.directory) << c.name;
      EXPECT_EQ(run.profile.name, c.profile_name) << c.name;
      EXPECT_EQ(run.global_listing, c.global) << c.name;
      EXPECT_EQ(run.mode, OutputMode::EXEXML) << c.name;
    }
  }
}

struct Started {
  ScratchTree tree;
  TestPlatform os{tree};
  RunSetup state;
  std::string profile_text;
  int exit_code = 0;

  explicit Started(std::vector<std::string> args, std::map<std::string, std::string> files = {}) {
    for (const auto &[path, content] : files) {
      tree.Write(path, content);
    }
    args.insert(args.begin(), "kestrovan");
    OrEnding<StartedUp> started = StartUp(os, args);
    if (const auto *ending = std::get_if<ErrorEnding>(&started)) {
      os.WriteStdout(ErrorDocument(ending->text));
      exit_code = 2;
      return;
    }
    StartedUp &up = std::get<StartedUp>(started);
    state = up.setup;
    std::string piece;
    while (up.profile_text->Next(200, &piece)) {
      profile_text += piece;
    }
  }
};

TEST(StartUp, BannerAndParameterString) {
  Started s({"PRD", "a,CH=2", "b c", "ignored"}, {{kHostDir + "PRD.P00", "profile text"}});
  EXPECT_EQ(s.state.banner, "* 14:03:27 SAP Kestrovan Vers 4.3 / 29.08.22");
  EXPECT_EQ(s.state.options.text, "a,CH=2 b c");
  EXPECT_EQ(s.state.options.selected_channel, 2);
  EXPECT_FALSE(s.state.console);
  EXPECT_EQ(s.profile_text, "profile text");
}

TEST(StartUp, ConsoleModeFromMarkersInTheParametersOnly) {
  for (const std::string marker : {"#", "$", "%", "x@y"}) {
    // "@" takes the profile where it is named, the others from the monitor's sensor folder.
    const std::string profile =
        marker.find('@') == std::string::npos ? kHostDir + "PRD.P00" : std::string("PRD.P00");
    Started s({"PRD", marker}, {{profile, "p"}});
    EXPECT_EQ(s.exit_code, 0) << marker << s.os.stdout_text;
    EXPECT_TRUE(s.state.console) << marker;
  }
  Started third({"PRD", "a", "#"}, {{kHostDir + "PRD.P00", "p"}});
  EXPECT_TRUE(third.state.console);
  Started first({"PRD#"}, {{kHostDir + "PRD#.P00", "p"}});
  EXPECT_FALSE(first.state.console);
}

TEST(StartUp, ItemNameIsCutAndColonsBecomeBlanks) {
  struct {
    const char *option;
    const char *item;
  } cases[] = {
      {"item=Big:Box,SYSLOG", "Big Box"},
      {"x ITEM=Missing_Idices y", "Missing_Idices"},
      {"ITEM=", ""},
  };
  for (const auto &c : cases) {
    Started s({"PRD", c.option}, {{kHostDir + "Tessaloy.Prf", "i"}});
    EXPECT_EQ(s.state.options.item, c.item) << c.option;
    EXPECT_TRUE(s.state.global_listing);
  }
  Started longest({"PRD", "ITEM=" + std::string(100, 'a')}, {{kHostDir + "Tessaloy.Prf", "i"}});
  EXPECT_EQ(longest.state.options.item, std::string(kItemNameWidth, 'a'));
}

TEST(StartUp, FlavourSwitchFilesAndTheirOrder) {
  struct {
    std::vector<std::string> switches;
    OutputMode mode;
  } cases[] = {
      {{"Kestrovan.Vintrel"}, OutputMode::Vintrel},
      {{"Kestrovan.Halcrest"}, OutputMode::Halcrest},
      {{"Kestrovan.Morvane"}, OutputMode::Morvane},
      {{"Kestrovan.Pellith"}, OutputMode::Pellith},
      {{"Kestrovan.Vintrel", "Kestrovan.Pellith"}, OutputMode::Pellith},
      {{"Kestrovan.Halcrest", "Kestrovan.Morvane"}, OutputMode::Morvane},
      {{"Kestrovan.Vintrel", "Kestrovan.Halcrest"}, OutputMode::Halcrest},
  };
  for (const auto &c : cases) {
    std::map<std::string, std::string> files{{"D:\\Sensors\\PRD.P00", "p"}};
    for (const std::string &f : c.switches) {
      files[f] = "";
    }
    Started s({"D:\\Sensors\\PRD"}, files);
    EXPECT_EQ(s.exit_code, 0) << s.os.stdout_text;
    EXPECT_EQ(s.state.mode, c.mode);
    EXPECT_EQ(s.state.profile.directory, "D:\\Sensors\\")
        << "a further flavour opens the profile where named";
  }
}

TEST(StartUp, FlavourMissingProfileNamesThePath) {
  Started s({"C:\\Sensors\\GLOBAL"}, {{"Kestrovan.Halcrest", ""}});
  EXPECT_EQ(s.exit_code, 2);
  EXPECT_EQ(s.os.stdout_text,
            ExpectedError("Error 1002: Profile C:\\Sensors\\SAP Tessaloy.Gbl is missing..."));
}

TEST(StartUp, FlavourGlobalKeepsTheArgumentDirectory) {
  Started s({"C:\\Sensors\\GLOBAL", "PROD"},
            {{"Kestrovan.Morvane", ""}, {"C:\\Sensors\\SAP Tessaloy.Gbl", "g"}});
  EXPECT_EQ(s.exit_code, 0);
  EXPECT_TRUE(s.state.global_listing);
  EXPECT_EQ(s.state.profile.directory, "C:\\Sensors\\");
  EXPECT_EQ(s.state.profile.name, "SAP Tessaloy.Gbl");
}

} // namespace

namespace {

TEST(Options, TimeLimitTakesWholeSecondsFromOneTo900) {
  const struct {
    const char *text;
    int seconds;
  } cases[] = {
      {"", kDefaultTimeLimitSeconds},
      {",TIMEOUT=30", 30},
      {"x,timeout=7,SYSLOG", 7},
      {",TIMEOUT=1", 1},
      {",TIMEOUT=900", 900},
      {",TIMEOUT=901", kDefaultTimeLimitSeconds},
      {",TIMEOUT=0", kDefaultTimeLimitSeconds},
      {",TIMEOUT=", kDefaultTimeLimitSeconds},
      {",TIMEOUT=-5", kDefaultTimeLimitSeconds},
      {",TIMEOUT=2#", kDefaultTimeLimitSeconds},
      {",TIMEOUT=30s", kDefaultTimeLimitSeconds},
      {",TIMEOUT=99999999999999999999", kDefaultTimeLimitSeconds},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(ParseOptions(c.text).time_limit_seconds, c.seconds) << c.text;
  }
}

} // namespace
