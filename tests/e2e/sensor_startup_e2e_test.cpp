// The built sensor and profile writer run as the monitoring host and an administrator would.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "profile/profile.h"
#include "programs.h"
#include "run_process.h"
#include "sensor_texts.h"
#include "test_platform.h"

namespace {

ProcessResult Sensor(const ScratchTree &tree, const std::vector<std::string> &args) {
  return RunProcess(SensorProgram(), args, tree.work().string(),
                    {{"KESTROVAN_DRIVE_ROOT", tree.root().string()}});
}

ProcessResult Writer(const ScratchTree &tree, const std::vector<std::string> &args,
                     const std::string &input) {
  return RunProcess(ProfileWriterProgram(), args, tree.work().string(), {}, input);
}

std::vector<std::string> WriteArgs(const std::string &file) {
  return {"write",    file,    "--extcompany", "Monitoring", "--destination", "PRD",
          "--client", "100",   "--user",       "monitor",    "--language",    "E",
          "--mode",   "R/3",   "--hostname",   "prdhost",    "--sysnr",       "00",
          "--gwhost", "prdgw", "--gwservice",  "sapgw00"};
}

struct SensorCase {
  const char *name;
  std::map<std::string, std::string> files;
  std::vector<std::string> args;
  std::string expected;
};

TEST(SensorEndToEnd, StartUpAndProfileErrors) {
  const std::string lines = "Extcompany.: Monitoring\r\nDestination: PRD\r\nClient.....: 100\r\n";
  const SensorCase cases[] = {
      {"no_argument", {}, {}, ExpectedError("Error 1001: Parameter for Profile-Name is missing !")},
      {"missing_profile", {}, {"PRD"}, ExpectedError("Error 1002: Profile PRD.P00 is missing...")},
      {"working_directory_only",
       {{"PRD.P00", lines}},
       {"PRD"},
       ExpectedError("Sorry, invalid Path-Usage...")},
      {"empty_profile",
       {{kHostDir + "PRD.P00", ""}},
       {"PRD"},
       ExpectedError("Error 1006: Username in Profile PRD.P00 is missing...")},
      {"console_mode_prints_nothing_before_profile_errors",
       {{kHostDir + "PRD.P00", lines + "User.......: x\r\n"}},
       {"PRD", "#"},
       ExpectedError("Error 1007: Password in Profile PRD.P00 is missing...")},
      {"malformed_password_crlf",
       {{kHostDir + "PRD.P00", "Password...: abc\r\n"}},
       {"PRD"},
       ExpectedError("Error 1004: Invalid Password in Profile PRD.P00 found...")},
      {"at_sign_names_the_path",
       {},
       {"D:\\Prof\\PRD", "@"},
       ExpectedError("Error 1002: Profile D:\\Prof\\PRD.P00 is missing...")},
      {"item_route_file_missing",
       {},
       {"PRD", "ITEM=Missing_Idices"},
       ExpectedError("Error 1002: Profile Tessaloy.Prf is missing...")},
  };
  for (const SensorCase &c : cases) {
    ScratchTree tree;
    for (const auto &[path, content] : c.files) {
      tree.Write(path, content);
    }
    const ProcessResult r = Sensor(tree, c.args);
    EXPECT_EQ(r.stdout_text, c.expected) << c.name;
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_EQ(r.stderr_text, "") << c.name;
  }
}

TEST(ProfileWriterEndToEnd, ScrambleReadsOneLine) {
  ScratchTree tree;
  const ProcessResult r = Writer(tree, {"scramble"}, "Secret1\n");
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_EQ(r.stdout_text.size(), 25u);
  EXPECT_EQ(r.stdout_text.back(), '\n');
  EXPECT_EQ(r.stderr_text, "");
  EXPECT_EQ(r.stdout_text.find("Secret1"), std::string::npos);
}

TEST(ProfileWriterEndToEnd, OneCharacterIsScrambledButRefusedForAWholeProfile) {
  ScratchTree tree;
  const ProcessResult one = Writer(tree, {"scramble"}, "x\n");
  EXPECT_EQ(one.exit_code, 0);
  ASSERT_EQ(one.stdout_text.size(), 25u);
  // A profile with it is what the sensor reports as a value shorter than its minimum.
  tree.Write(kHostDir + "PRD.P00",
             "Extcompany.: Monitoring\nDestination: PRD\nClient.....: 100\nUser.......: u1\n"
             "Password...: " +
                 one.stdout_text +
                 "Language...: E\nMode.......: R/3\n"
                 "Hostname...: h1\nSysnr......: 00\nGwhost.....: g1\nGwservice..: s1\n");
  const ProcessResult sensor = Sensor(tree, {"PRD"});
  EXPECT_EQ(sensor.stdout_text,
            ExpectedError("Error 1003: Invalid Parameter(s) at PRD.P00 found..."));

  const ProcessResult whole = Writer(tree, WriteArgs("NEW.P00"), "x\n");
  EXPECT_EQ(whole.exit_code, 2);
  EXPECT_NE(whole.stderr_text.find("at least 2 characters"), std::string::npos);
}

TEST(ProfileWriterEndToEnd, RefusedPasswords) {
  struct {
    const char *name;
    std::string input;
  } cases[] = {{"empty", "\n"}, {"no_input", ""}, {"too_long", std::string(21, 'a') + "\n"}};
  for (const auto &c : cases) {
    ScratchTree tree;
    const ProcessResult r = Writer(tree, {"scramble"}, c.input);
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_EQ(r.stdout_text, "") << c.name;
    EXPECT_NE(r.stderr_text.find("password"), std::string::npos) << c.name;
  }
}

TEST(ProfileWriterEndToEnd, WrittenProfileIsReadBackWithTheSameValues) {
  ScratchTree tree;
  const ProcessResult r = Writer(tree, WriteArgs("PRD.P00"), "Pa ss:w0rd!\r\n");
  ASSERT_EQ(r.exit_code, 0) << r.stderr_text;
  EXPECT_EQ(r.stdout_text, "wrote PRD.P00\n");
  struct stat info {};
  ASSERT_EQ(stat((tree.work() / "PRD.P00").c_str(), &info), 0);
  if (!TestingWindowsPrograms()) {
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the profile holds a password";
  }

  const std::string text = tree.Read("PRD.P00");
  EXPECT_EQ(text.find("Pa ss"), std::string::npos);
  kestrovan::TextPieces pieces(text);
  kestrovan::ConnectionParameters v;
  std::string host;
  ASSERT_TRUE(kestrovan::ReadProfile(pieces, kestrovan::kSingleProfilePiece,
                                     kestrovan::ProfileReading::StopAtFault, "PRD.P00", v, host)
                  .valid);
  EXPECT_EQ(kestrovan::CheckProfile(v, "PRD.P00"), "");
  EXPECT_EQ(v.extcompany, "Monitoring");
  EXPECT_EQ(v.destination, "PRD");
  EXPECT_EQ(v.client, "100");
  EXPECT_EQ(v.user, "MONITOR");
  EXPECT_EQ(v.password, "Pa ss:w0rd!");
  EXPECT_EQ(v.language, "E");
  EXPECT_EQ(v.mode, "R/3");
  EXPECT_EQ(v.hostname, "prdhost");
  EXPECT_EQ(v.sysnr, "00");
  EXPECT_EQ(v.gwhost, "prdgw");
  EXPECT_EQ(v.gwservice, "sapgw00");

  // The sensor itself gets past every profile check with it.
  tree.Write(kHostDir + "PRD.P00", text);
  const ProcessResult sensor = Sensor(tree, {"PRD"});
  EXPECT_EQ(sensor.stdout_text.find("Error 100"), std::string::npos) << sensor.stdout_text;
}

TEST(ProfileWriterEndToEnd, RefusesBadInvocations) {
  ScratchTree tree;
  tree.Write("OLD.P00", "keep");
  struct {
    const char *name;
    std::vector<std::string> args;
    const char *message;
  } cases[] = {
      {"existing_file", WriteArgs("OLD.P00"), "--force replaces it"},
      {"missing_option",
       {"write", "NEW.P00", "--destination", "PRD"},
       "option --extcompany is missing"},
      {"value_too_short",
       [] {
         auto a = WriteArgs("NEW.P00");
         a[5] = "PR";
         return a;
       }(),
       "--destination needs at least 3 characters"},
      {"value_too_long",
       [] {
         auto a = WriteArgs("NEW.P00");
         a[3] = std::string(61, 'x');
         return a;
       }(),
       "--extcompany is longer than 60"},
      {"unknown_option",
       [] {
         auto a = WriteArgs("NEW.P00");
         a.push_back("--password");
         a.push_back("x");
         return a;
       }(),
       "unknown option --password"},
      {"no_command", {}, "usage:"},
      {"scramble_with_argument", {"scramble", "Secret1"}, "usage:"},
  };
  for (const auto &c : cases) {
    const ProcessResult r = Writer(tree, c.args, "Secret1\n");
    EXPECT_EQ(r.exit_code, 2) << c.name;
    EXPECT_NE(r.stderr_text.find(c.message), std::string::npos) << c.name << ": " << r.stderr_text;
    EXPECT_FALSE(tree.Exists("NEW.P00")) << c.name;
  }
  EXPECT_EQ(tree.Read("OLD.P00"), "keep");
  const ProcessResult forced = Writer(
      tree,
      [] {
        auto a = WriteArgs("OLD.P00");
        a.push_back("--force");
        return a;
      }(),
      "Secret1\n");
  EXPECT_EQ(forced.exit_code, 0) << forced.stderr_text;
  EXPECT_NE(tree.Read("OLD.P00"), "keep");
}

} // namespace
