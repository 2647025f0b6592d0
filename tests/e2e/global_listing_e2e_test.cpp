// Global listing runs of the built sensor over several simulated systems.
#include <gtest/gtest.h>

#include <regex>

#include "programs.h"
#include "sapsim_fixture.h"

namespace {

const std::string kAllocation = ",Sensor=\"SAP Kestrovan\"";
const std::string kHead = "\n<Prtg>\n\n";

std::string Channel(const std::string &name, unsigned value) {
  return "\n<Result><Channel>" + name + "</Channel>\n<Value>" + std::to_string(value) +
         "</Value></Result>\n";
}

std::string Summary(const std::string &item, int listed, int processed, int failed) {
  return "\n<Text>(***) " + item + ": NoSystems=" + std::to_string(listed) +
         ", Processed=" + std::to_string(processed) + ", Failed=" + std::to_string(failed) +
         "</Text>\n\n</Prtg>\n\n";
}

/// Three reachable systems PRD (12 missing), QAS (3), DEV (0), an unreachable one, and a
/// listing file for the global sensor PROD.
struct ThreeSystems : Landscape {
  ThreeSystems() {
    Add("PRD", 12, 10);
    Add("QAS", 3, 11);
    Add("DEV", 0, 12);
    tree.Write(kHostDir + "DWN.P00",
               ProfileFor("DWN", kestrovan_test::RandomLoopbackAddress(), 13));
  }
  void Add(const std::string &sid, unsigned missing, int sysnr, const std::string &extra = "") {
    SimulatedSystemAnswers spec;
    spec.host = "sap" + sid;
    spec.missing = missing;
    spec.not_defined = missing + 100;
    spec.extra = extra;
    auto &sys = Start(spec, sysnr);
    tree.Write(kHostDir + sid + ".P00", ProfileFor(sid, sys.Address(), sysnr));
  }
  void Listing(const std::string &listing, const std::string &gsnx) {
    tree.Write(kHostDir + "SAP Tessaloy.Gbl",
               "# GSNG: PROD      : " + listing + "\r\n# GSNX: PROD      : " + gsnx + "\r\n");
  }
};

TEST(GlobalListingEndToEnd, EntryKinds) {
  ThreeSystems l;
  struct {
    const char *kind;
    std::string prd, qas;
  } cases[] = {
      {",Profile", "PRD.P00", "QAS.P00"},
      {",Alias", "PRD", "QAS"},
      {",Sid", "PRD", "QAS"},
  };
  for (const auto &c : cases) {
    l.Listing("PRD.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + c.kind);
    const ProcessResult r = l.Sensor({"GLOBAL", "prod"});
    EXPECT_EQ(r.stdout_text,
              kHead + Channel(c.prd, 12) + Channel(c.qas, 3) + Summary("Missing_Idices", 2, 2, 0))
        << c.kind;
    EXPECT_EQ(r.exit_code, 0) << c.kind;
  }
  // ",Host" names the channel after the profile's host name.
  l.Listing("PRD.P00#", "Item=Index_Undefined" + kAllocation + ",Host");
  const ProcessResult host = l.Sensor({"GLOBAL", "PROD"});
  const std::regex by_host("\n<Prtg>\n\n\n<Result><Channel>127\\.[0-9.]+</Channel>\n<Value>112</"
                           "Value></Result>\n[\\s\\S]*");
  EXPECT_TRUE(std::regex_match(host.stdout_text, by_host)) << host.stdout_text;
}

TEST(GlobalListingEndToEnd, FailuresInTheMiddleAreCountedAndTheWalkGoesOn) {
  ThreeSystems l;
  l.ShortTimeouts();
  l.Add("HNG", 7, 14, "fail.db_ora_missing_indices = hang\n");
  l.tree.Write(kHostDir + "EMPTY.P00", "");
  l.Listing("PRD.P00#NONE.P00#DWN.P00#HNG.P00#EMPTY.P00#QAS.P00#",
            "Item=Missing_Idices,,SYSLOG" + kAllocation + ",Profile");
  const ProcessResult r = l.Sensor({"GLOBAL", "PROD"});
  // NONE.P00 is only listed; DWN and HNG fail; EMPTY.P00 reuses HNG's values and fails with it.
  EXPECT_EQ(r.stdout_text, kHead + Channel("PRD.P00", 12) + Channel("QAS.P00", 3) +
                               Summary("Missing_Idices", 6, 2, 3));
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.stderr_text, "");
  std::string log = l.tree.Read(kHostDir + "Kestrovan.Log");
  std::erase(log, '\r'); // a Windows build writes its log with CR LF
  EXPECT_NE(log.find(" RfcOpen called \n"), std::string::npos)
      << "the listing's options switch the log on";
}

TEST(GlobalListingEndToEnd, APartnerThatBreaksTheOpenFailsOnlyItsSystem) {
  if (!TestingNwRfcBinding()) {
    GTEST_SKIP() << "the classic library hands such a partner to the error handler";
  }
  for (const char *fault : {"garbage", "drop"}) {
    ThreeSystems l;
    l.Add("BRK", 5, 17, std::string("fail.logon = ") + fault + "\n");
    l.Listing("PRD.P00#BRK.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + ",Profile");
    const ProcessResult r = l.Sensor({"GLOBAL", "PROD"});
    EXPECT_EQ(r.stdout_text, kHead + Channel("PRD.P00", 12) + Channel("QAS.P00", 3) +
                                 Summary("Missing_Idices", 3, 2, 1))
        << fault;
    EXPECT_EQ(r.exit_code, 0) << fault;
    const ProcessResult single = l.Sensor({"BRK"});
    EXPECT_EQ(single.stdout_text, ExpectedError("Error 1011: RFC-Open for BRK failed !")) << fault;
    EXPECT_EQ(single.exit_code, 2) << fault;
  }
}

TEST(GlobalListingEndToEnd, TheErrorHandlerInAWalkEndsItWithTheLibrarysBlock) {
  // A library failure is no time limit: the walk ends with exit code 1, not with a summary.
  ThreeSystems l;
  l.Add("BRK", 5, 18, "fail.db_ora_missing_indices = garbage\n");
  l.Listing("PRD.P00#BRK.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + ",Profile");
  const ProcessResult r = l.Sensor({"GLOBAL", "PROD"});
  const std::regex block("\n<Prtg>\n\n\n<Result><Channel>PRD\\.P00</Channel>\n<Value>12</Value>"
                         "</Result>\n" +
                         std::string(kReceiveBlockPattern));
  EXPECT_TRUE(std::regex_match(r.stdout_text, block)) << r.stdout_text;
  EXPECT_EQ(r.exit_code, 1);
}

TEST(GlobalListingEndToEnd, EmptyProfileReusesTheSystemBefore) {
  ThreeSystems l;
  l.tree.Write(kHostDir + "EMPTY.P00", "");
  l.Listing("QAS.P00#EMPTY.P00#", "Item=Missing_Idices" + kAllocation);
  const ProcessResult r = l.Sensor({"GLOBAL", "PROD"});
  EXPECT_EQ(r.stdout_text, kHead + Channel("QAS.P00", 3) + Channel("EMPTY.P00", 3) +
                               Summary("Missing_Idices", 2, 2, 0));
}

TEST(GlobalListingEndToEnd, ErrorEndingsInTheMiddle) {
  ThreeSystems l;
  SimulatedSystemAnswers mssql;
  mssql.dbsys = "MSSQL";
  auto &m = l.Start(mssql, 15);
  l.tree.Write(kHostDir + "MSS.P00", ProfileFor("MSS", m.Address(), 15));
  l.Add("EXC", 1, 16, "fail.rfc_system_info = exception NOT_FOUND Not there\n");

  l.Listing("PRD.P00#MSS.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + ",Alias");
  const ProcessResult db = l.Sensor({"GLOBAL", "PROD"});
  EXPECT_EQ(db.stdout_text,
            kHead + Channel("PRD", 12) + ExpectedError("Error 1018: DataBase mismatch !"));
  EXPECT_EQ(db.exit_code, 2);

  l.Listing("PRD.P00#EXC.P00#QAS.P00#", "Item=Missing_Idices" + kAllocation + ",Alias");
  const ProcessResult info = l.Sensor({"GLOBAL", "PROD"});
  EXPECT_EQ(info.stdout_text, kHead + Channel("PRD", 12) +
                                  ExpectedError("Error 1012: Exception.: NOT_FOUND - Not there"));
  EXPECT_EQ(info.exit_code, 2);
}

TEST(GlobalListingEndToEnd, ASystemOffThisMachineEndsTheWalk) {
  // A documentation address, which the built-in test library refuses: the walk ends saying why.
  // The sensor runs where the address is on its own loopback device, away from the simulated
  // systems, so that a library that did try would still send nothing away.
  if (const std::optional<std::string> why = NoOwnNetwork()) {
    GTEST_SKIP() << *why;
  }
  ThreeSystems l;
  l.tree.Write(kHostDir + "OFF.P00", ProfileFor("OFF", "192.0.2.1", 17));
  l.Listing("OFF.P00#PRD.P00#", "Item=Missing_Idices" + kAllocation + ",Alias");
  const ProcessResult off = l.SensorInOwnNetwork({"GLOBAL", "PROD"}, {"192.0.2.1"});
  EXPECT_EQ(off.stdout_text, kHead + ExpectedError(TestLibraryRefusal("OFF")));
  EXPECT_EQ(off.exit_code, 2);
}

TEST(GlobalListingEndToEnd, ItemThatSelectsNoChannel) {
  ThreeSystems l;
  l.tree.Write(kHostDir + "Tessaloy.Prf", "# Gsng: anything  : PRD.P00#QAS.P00#\n");
  const ProcessResult r = l.Sensor({"ignored", "ITEM=missing_idices"});
  EXPECT_EQ(r.stdout_text, kHead + Summary("missing_idices", 2, 2, 0));
  EXPECT_EQ(r.exit_code, 0);
}

TEST(GlobalListingEndToEnd, ConsoleMode) {
  ThreeSystems l;
  l.tree.Write(kHostDir + "Tessaloy.Prf", "# Gsng: anything  : PRD.P00#DWN.P00#\n");
  const ProcessResult r = l.Sensor({"x", "ITEM=Missing_Idices,#"});
  const std::string t = "\\d\\d:\\d\\d:\\d\\d";
  const std::regex expected(
      "\\* (" + t +
      ") SAP Kestrovan Vers 4\\.3 / 29\\.08\\.22\n"
      "\\* \\1 ITEM=Missing_Idices,# State=Executing\n"
      "\n<Prtg>\n\n"
      "\n<Result><Channel>PRD\\.P00</Channel>\n<Value>12</Value></Result>\n"
      "\n\\* " +
      t +
      " PRD\\.P00, 127[0-9.]+, PRD, 10, 100 State=Processed\n"
      "\n\\* " +
      t +
      " DWN\\.P00, 127[0-9.]+, DWN, 13, 100 State=Rfc Failure\n"
      "\n<Text>\\(\\*\\*\\*\\) Missing_Idices: NoSystems=2, Processed=1, Failed=1</Text>\n"
      "\n</Prtg>\n\n"
      "\n\\* " +
      t + " SAP Kestrovan now processed\\.\\.\\.\n");
  EXPECT_TRUE(std::regex_match(r.stdout_text, expected)) << r.stdout_text;
  EXPECT_EQ(r.exit_code, 0);
}

TEST(GlobalListingEndToEnd, FrontEndFlavoursOverSeveralSystems) {
  ThreeSystems l;
  // A front end opens the listing where the first argument names it.
  l.tree.Write(
      "D:\\Front\\SAP Tessaloy.Gbl",
      "# GSNG: PROD      : PRD.P00#QAS.P00#DEV.P00#\n# GSNX: PROD      : Item=Missing_Idices" +
          kAllocation + ",Alias\n");
  for (const char *sid : {"PRD", "QAS", "DEV"}) {
    l.tree.Write(std::string("D:\\Front\\") + sid + ".P00", l.tree.Read(kHostDir + sid + ".P00"));
  }

  l.tree.Write("Kestrovan.Halcrest", "");
  const ProcessResult halcrest = l.Sensor({"D:\\Front\\GLOBAL", "PROD"});
  EXPECT_EQ(halcrest.stdout_text,
            "\n"
            "\n\nMessage.PRD: PRD (#)\nStatistic.PRD: 12"
            "\n\nMessage.QAS: QAS (#)\nStatistic.QAS: 3"
            "\n\nMessage.DEV: DEV (#)\nStatistic.DEV: 0"
            "\n# (***) Missing_Idices: NoSystems=3, Processed=3, Failed=0\n\n");

  std::filesystem::remove(l.tree.Local("Kestrovan.Halcrest"));
  l.tree.Write("Kestrovan.Morvane", "");
  const ProcessResult morvane = l.Sensor({"D:\\Front\\GLOBAL", "PROD"});
  EXPECT_EQ(morvane.stdout_text, "\n\n> PRD: 12 #\n> QAS: 3 #\n> DEV: 0 #\n# (***) Missing_Idices: "
                                 "NoSystems=3, Processed=3, Failed=0\n\n");
}

} // namespace
