// Which RFC library a run went through, and the NetWeaver binding's own endings: the gateway
// mode it refuses, and a NetWeaver library that is missing or lacks an operation.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>

#include "programs.h"
#include "sapsim_fixture.h"

namespace {

std::string Variable(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

/// The trace block's header names the library that wrote it: the binding's blocks say NWRFC, the
/// classic stand-in's say STANDIN. A run through the wrong one fails here, whatever it printed.
void ExpectTraceFrom(const std::string &trace, bool nwrfc, const std::string &name) {
  EXPECT_EQ(trace.find("RFC-VER 3 NWRFC") != std::string::npos, nwrfc) << name << "\n" << trace;
  EXPECT_EQ(trace.find("RFC-VER 3 STANDIN") != std::string::npos, !nwrfc) << name << "\n" << trace;
}

TEST(NwRfcEndToEnd, TheTraceNamesTheLibraryTheRunWentThrough) {
  Landscape l;
  SimulatedSystemAnswers spec;
  spec.extra = "fail.rfc_system_info = exception NOT_FOUND No such thing\n";
  auto &sys = l.Start(spec, 30);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 30));
  const ProcessResult r = l.Sensor({"PRD"});
  EXPECT_EQ(r.stdout_text, ExpectedError("Error 1012: Exception.: NOT_FOUND - No such thing"));
  EXPECT_EQ(r.exit_code, 2);
  ExpectTraceFrom(l.tree.Read("Dev_Rfc.Trc"), TestingNwRfcBinding(), "sensor under test");

  // A 32-bit Windows program with both libraries beside it keeps to the classic one, unless the
  // switch file chooses the NetWeaver library.
  const struct {
    const char *variable;
    bool nwrfc;
  } both[] = {{"KESTROVAN_TEST_SENSOR_BOTH_LIBRARIES", false},
              {"KESTROVAN_TEST_SENSOR_BOTH_LIBRARIES_NWRFC", true}};
  for (const auto &c : both) {
    const std::string program = Variable(c.variable);
    if (program.empty()) {
      continue;
    }
    std::filesystem::remove(l.tree.Local("Dev_Rfc.Trc"));
    const ProcessResult other = l.Program(program, {"PRD"});
    EXPECT_EQ(other.stdout_text, r.stdout_text) << c.variable;
    ExpectTraceFrom(l.tree.Read("Dev_Rfc.Trc"), c.nwrfc, c.variable);
  }
}

TEST(NwRfcEndToEnd, GatewayModeIsRefusedWithItsReason) {
  if (!TestingNwRfcBinding()) {
    GTEST_SKIP() << "the classic library connects to gateways";
  }
  Landscape l;
  auto &sys = l.Start({}, 31);
  std::string profile = ProfileFor("PRD", sys.Address(), 31);
  profile.replace(profile.find("Mode.......: R/3"), 16, "Mode.......: R/2");
  l.tree.Write(kHostDir + "PRD.P00", profile);
  const ProcessResult r = l.Sensor({"PRD"});
  EXPECT_EQ(r.stdout_text, ExpectedError("Error 1011: RFC-Open for PRD failed !"));
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(l.tree.Read("Dev_Rfc.Trc")
                .find("ERROR       mode R/2 (a gateway connection) is not supported with the "
                      "NetWeaver RFC library"),
            std::string::npos)
      << l.tree.Read("Dev_Rfc.Trc");
}

TEST(NwRfcEndToEnd, MissingOrIncompleteLibraryIsAnErrorDocument) {
  const std::string file = Variable("KESTROVAN_TEST_NWRFC_FILE");
  const struct {
    const char *variable;
    std::string text; // a regular expression
  } cases[] = {
      {"KESTROVAN_TEST_SENSOR_WITHOUT_NWRFC",
       "RFC library " + file + " cannot be loaded \\([^\n<]+\\)\\.\\.\\."},
      {"KESTROVAN_TEST_SENSOR_INCOMPLETE_NWRFC",
       "RFC library " + file + " lacks the operation RfcInvoke\\.\\.\\."},
  };
  bool ran = false;
  for (const auto &c : cases) {
    const std::string program = Variable(c.variable);
    if (program.empty() || file.empty()) {
      continue;
    }
    ran = true;
    Landscape l;
    auto &sys = l.Start({}, 32);
    l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 32));
    const ProcessResult r = l.Program(program, {"PRD", "#"});
    EXPECT_TRUE(std::regex_match(r.stdout_text, std::regex("<Prtg>\n<Error>1</Error>\n<Text>" +
                                                           c.text + "</Text>\n</Prtg>\n")))
        << c.variable << "\n"
        << r.stdout_text;
    EXPECT_EQ(r.exit_code, 2) << c.variable;
    EXPECT_FALSE(l.tree.Exists("Dev_Rfc.Trc")) << c.variable;
  }
  if (!ran) {
    GTEST_SKIP() << "only the NetWeaver suites install the program without its library";
  }
}

TEST(NwRfcEndToEnd, TheLibrariesFilesThatAreNoRegularFileNeitherBlockNorExhaustARun) {
  if (TestingWindowsPrograms()) GTEST_SKIP() << "FIFOs and devices are POSIX things";
  namespace fs = std::filesystem;
  Landscape l;
  SimulatedSystemAnswers spec;
  spec.extra = "fail.rfc_system_info = exception NOT_FOUND No such thing\n";
  auto &sys = l.Start(spec, 33);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 33));
  const ProcessResult plain = l.Sensor({"PRD"});
  ASSERT_EQ(plain.exit_code, 2);
  const struct {
    const char *kind;
    std::function<void(const fs::path &)> make;
  } kinds[] = {
      {"fifo", [](const fs::path &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"device", [](const fs::path &p) { fs::create_symlink("/dev/zero", p); }},
  };
  // The trace cannot be written then, so its detail is missing from the document.
  const std::string without_trace =
      ExpectedError("Error 1012: Exception.: NOT_FOUND - Look for Trace-File");
  const struct {
    const char *file;
    const std::string &stdout_text;
  } files[] = {{"RfcStandin.ini", plain.stdout_text},
               {"NwRfcLimits.ini", plain.stdout_text},
               {"SapRfc.PRD", plain.stdout_text},
               {"Dev_Rfc.Trc", without_trace}};
  for (const auto &kind : kinds) {
    for (const auto &file : files) {
      const fs::path path = l.tree.work() / file.file;
      fs::remove(l.tree.Local("Dev_Rfc.Trc"));
      kind.make(path);
      const ProcessResult r = l.Sensor({"PRD"});
      EXPECT_EQ(r.stdout_text, file.stdout_text) << kind.kind << " " << file.file;
      EXPECT_EQ(r.exit_code, 2) << kind.kind << " " << file.file;
      fs::remove(path);
    }
  }
}

// SAP's library writes notices to standard error, which the monitor does not read: they are
// kept in a file beside the trace, and the program's standard error stays empty.
TEST(NwRfcEndToEnd, WhatTheLibraryWritesToStandardErrorIsKeptInAFile) {
  if (!TestingNwRfcBinding()) {
    GTEST_SKIP() << "the classic stand-in writes nothing there";
  }
  Landscape l;
  auto &sys = l.Start({}, 36);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", sys.Address(), 36));
  const ProcessResult r =
      RunProcess(SensorProgram(), {"PRD"}, l.tree.work().string(),
                 {{"KESTROVAN_DRIVE_ROOT", l.tree.root().string()}, {"NLSUI_7BIT_FALLBACK", "1"}});
  EXPECT_EQ(r.exit_code, 0) << r.stdout_text;
  EXPECT_EQ(r.stderr_text, "");
  EXPECT_NE(l.tree.Read("Rfc_Stderr.Log")
                .find("NLSUI_7BIT_FALLBACK is set: the stand-in goes on in 7-bit mode"),
            std::string::npos)
      << l.tree.Read("Rfc_Stderr.Log");
}

TEST(NwRfcEndToEnd, SecureAndRoutedLogonKeysReachTheLibrary) {
  if (!TestingNwRfcBinding()) {
    GTEST_SKIP() << "the classic library reads SapRfc.ini itself";
  }
  Landscape l;
  auto &sys = l.Start({}, 31);
  l.tree.Write(kHostDir + "PRD.P00", ProfileFor("PRD", "127.0.0.2", 9));
  l.tree.Write("SapRfc.PRD", "DEST=PRD\r\nTYPE=A\r\nASHOST=/H/127.0.0.1/S/3299/W/Rt-Secret-77/H/" +
                                 sys.Address() +
                                 "\r\nSYSNR=31\r\nSNC_MODE=1\r\nSNC_PARTNERNAME=p:CN=PRD\r\n"
                                 "SNC_QOP=9\r\nSNC_MYNAME=p:CN=MONITOR\r\n"
                                 "SNC_LIB=C:\\sec\\sapcrypto.dll\r\nOTHER_KEY=x\r\n");
  l.tree.Write("RfcStandin.ini", "LOGON_RECORD=logons.txt\n");
  const ProcessResult r = l.Sensor({"PRD"});
  EXPECT_EQ(r.exit_code, 0) << r.stdout_text;
  std::string record = l.tree.Read("logons.txt");
  record = "\n" + std::regex_replace(record, std::regex("\r\n"), "\n");
  // The route goes to SAPROUTER, its last hop to ASHOST; SNC keys pass as named; the passwords
  // (the router's as well) arrive but are never written down.
  for (const std::string &line :
       {"ASHOST=" + sys.Address(), std::string("SAPROUTER=/H/127.0.0.1/S/3299/W/************"),
        std::string("SNC_MODE=1"), std::string("SNC_PARTNERNAME=p:CN=PRD"),
        std::string("SNC_QOP=9"), std::string("SNC_MYNAME=p:CN=MONITOR"),
        std::string("SNC_LIB=C:\\sec\\sapcrypto.dll"), std::string("PASSWD=(- secret -)")}) {
    EXPECT_NE(record.find("\n" + line + "\n"), std::string::npos) << line << "\n" << record;
  }
  EXPECT_EQ(record.find("OTHER_KEY"), std::string::npos) << record;
  EXPECT_EQ(record.find("Secret1"), std::string::npos);
  EXPECT_EQ(record.find("Rt-Secret-77"), std::string::npos);
}

} // namespace
