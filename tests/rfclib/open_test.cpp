// Opening connections to a running sapsim: both modes, connect texts, rejected logons, unreachable
// partners.
#include <gtest/gtest.h>

#include <cstring>

#include "library_fixture.h"
#include "sensor_calls.h"

namespace kestrovan_test {
namespace {

using OpenTest = LibraryTest;

TEST_F(OpenTest, OpensAndClosesWithPaddedLogonValues) {
  SimulatedSystem system(SystemFile(), 3301);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  ASSERT_NE(handle, 0u) << Trace() << system.Log();
  SystemInfoCall call;
  EXPECT_EQ(call.Run(handle), RFC_OK);
  RfcClose(handle);
  EXPECT_FALSE(folder_.Exists("Dev_Rfc.Trc")) << "a run without failures writes no trace";
  EXPECT_NE(system.Log().find("logon accepted: client 100 user MONITOR language E"),
            std::string::npos)
      << system.Log();
}

TEST_F(OpenTest, SystemServesOneConnectionAfterAnother) {
  SimulatedSystem system(SystemFile(), 3302);
  for (int round = 0; round < 3; ++round) {
    const RFC_HANDLE handle = Open(ValuesFor(system));
    ASSERT_NE(handle, 0u) << "round " << round << "\n" << Trace();
    RfcClose(handle);
  }
}

TEST_F(OpenTest, UserIsComparedInUpperCase) {
  SimulatedSystem system(SystemFile(), 3303);
  OpenValues values = ValuesFor(system);
  values.user = "Monitor";
  EXPECT_NE(Open(values), 0u) << Trace();
}

struct RejectedCase {
  const char *name;
  const char *client;
  const char *user;
  const char *password;
  const char *detail;
};

TEST_F(OpenTest, RejectedLogonsReturnZeroAndTraceTheSystemsReason) {
  const RejectedCase cases[] = {
      {"wrong password", "100", "MONITOR", "Wr0ngPass",
       "Name or password is incorrect (repeat logon)"},
      {"password in other case", "100", "MONITOR", "SECRET#1",
       "Name or password is incorrect (repeat logon)"},
      {"unknown user", "100", "NOBODY", "Secret#1", "Name or password is incorrect (repeat logon)"},
      {"unknown client", "999", "MONITOR", "Secret#1",
       "Client 999 is not available in this system"},
  };
  SimulatedSystem system(SystemFile(), 3304);
  for (const RejectedCase &c : cases) {
    OpenValues values = ValuesFor(system);
    values.client = c.client;
    values.user = c.user;
    values.password = c.password;
    EXPECT_EQ(Open(values), 0u) << c.name;
    EXPECT_EQ(TraceDetail(), c.detail) << c.name;
    RFC_ERROR_INFO info{};
    RfcLastError(&info);
    EXPECT_STREQ(info.key, "RFC_ERROR_LOGON_FAILURE") << c.name;
  }
  EXPECT_EQ(Trace().find("Wr0ngPass"), std::string::npos) << "the password must never be traced";
  EXPECT_EQ(Trace().find("Secret#1"), std::string::npos) << "the password must never be traced";
}

TEST_F(OpenTest, UnreachablePartnerReturnsZeroWithPartnerNotReached) {
  OpenValues values;
  values.host = RandomLoopbackAddress();
  values.sysnr = 99; // nothing listens there
  EXPECT_EQ(Open(values), 0u);
  EXPECT_EQ(TraceDetail(), "partner not reached");
  const std::string trace = Trace();
  EXPECT_EQ(trace.rfind("**** ERROR file opened at ", 0), 0u) << trace;
  EXPECT_NE(trace.find("LOCATION    RfcOpen to " + values.host + ":3399\n"), std::string::npos)
      << trace;
  EXPECT_NE(trace.find("RC          1\n"), std::string::npos) << trace;
}

TEST_F(OpenTest, InvalidOptionsFailWithoutConnecting) {
  EXPECT_EQ(RfcOpen(nullptr), 0u);
  OpenValues no_host;
  EXPECT_EQ(Open(no_host), 0u);
  EXPECT_EQ(TraceDetail(), "invalid connection options");
  OpenValues bad_sysnr;
  bad_sysnr.host = "127.0.0.1";
  bad_sysnr.sysnr = 100;
  EXPECT_EQ(Open(bad_sysnr), 0u);
  OpenValues bad_mode;
  bad_mode.host = "127.0.0.1";
  bad_mode.mode = 7;
  EXPECT_EQ(Open(bad_mode), 0u);
  RFC_ERROR_INFO info{};
  RfcLastError(&info);
  EXPECT_STREQ(info.key, "RFC_ERROR_INVALID_PARAMETER");
}

// The sensor passes INT_MAX for a profile's number that overflows; no gateway makes it a system.
TEST_F(OpenTest, ASystemNumberBeyondIntIsRefusedAlsoOnTheWayToTheGateway) {
  OpenValues values;
  values.sysnr = 2147483647;
  values.gateway_host = RandomLoopbackAddress();
  values.gateway_service = "sapgw00";
  EXPECT_EQ(Open(values), 0u);
  EXPECT_EQ(TraceDetail(), "invalid connection options");
  RFC_ERROR_INFO info{};
  RfcLastError(&info);
  EXPECT_STREQ(info.key, "RFC_ERROR_INVALID_PARAMETER");
  EXPECT_STREQ(info.message,
               "invalid connection options: system number 2147483647 is outside 00..99");
}

TEST_F(OpenTest, ModeOneGoesToGatewayHostAndService) {
  SimulatedSystem system(SystemFile(), 3305);
  const char *services[] = {"3305", "sapgw05", "SAPGW05"};
  for (const char *service : services) {
    OpenValues values;
    values.mode = RFC_MODE_CPIC;
    values.gateway_host = system.Address();
    values.gateway_service = service;
    const RFC_HANDLE handle = Open(values);
    EXPECT_NE(handle, 0u) << service << "\n" << Trace();
    RfcClose(handle);
  }
}

TEST_F(OpenTest, ModeZeroGoesToTheApplicationServerNotTheGateway) {
  SimulatedSystem system(SystemFile(), 3306);
  OpenValues values;
  values.host = system.Address();
  values.sysnr = 6;
  values.gateway_host = "127.0.0.2"; // nothing listens there
  values.gateway_service = "sapgw42";
  const RFC_HANDLE handle = Open(values);
  EXPECT_NE(handle, 0u) << Trace();
}

TEST_F(OpenTest, ModeZeroWithoutHostUsesTheGateway) {
  SimulatedSystem system(SystemFile(), 3306);
  OpenValues values;
  values.host = "";
  values.sysnr = 42;
  values.gateway_host = system.Address();
  values.gateway_service = "sapgw06";
  const RFC_HANDLE handle = Open(values);
  EXPECT_NE(handle, 0u) << Trace();
}

TEST_F(OpenTest, LogonFaultsEndTheOpenWithTheirReason) {
  struct Case {
    const char *fault;
    const char *detail;
  };
  const Case cases[] = {
      {"failure Logon is locked for maintenance", "Logon is locked for maintenance"},
      {"failure", "Error in logon of the called system"},
      {"drop", "connection closed by partner"},
      {"hang", "timeout during receive"},
  };
  SetTimeouts(300, 300);
  for (const Case &c : cases) {
    SimulatedSystem system(SystemFile(std::string("fail.logon = ") + c.fault + "\n"), 3307);
    EXPECT_EQ(Open(ValuesFor(system)), 0u) << c.fault;
    EXPECT_EQ(TraceDetail(), c.detail) << c.fault;
  }
}

TEST_F(OpenTest, SlowLogonWithinTheConnectTimeoutSucceeds) {
  SetTimeouts(5000, 5000);
  SimulatedSystem system(SystemFile("logon_delay = 200\n"), 3308);
  EXPECT_NE(Open(ValuesFor(system)), 0u) << Trace();
}

std::string IniFor(const SimulatedSystem &system) {
  char sysnr[8];
  std::snprintf(sysnr, sizeof sysnr, "%02d", system.SystemNumber());
  return "/*===================================================================*/\n"
         "/*  Type A: connection to a specific application server              */\n"
         "/*===================================================================*/\n"
         "* an old-style comment\n"
         "# and another\n"
         "DEST=QAS\nTYPE=A\nASHOST=127.0.0.2\nSYSNR=11\n\n"
         "DEST=PRD\r\nTYPE=A\r\nASHOST=" +
         system.Address() + "\r\nSYSNR=" + sysnr + "\r\nRFC_TRACE=0\r\n";
}

TEST_F(OpenTest, OpenExReadsTheDestinationFromSapRfcIni) {
  SimulatedSystem system(SystemFile(), 3309);
  folder_.Write("SapRfc.ini", IniFor(system));
  const RFC_HANDLE handle =
      RfcOpenEx("CLIENT=100 USER=MONITOR PASSWD=Secret#1 LANG=D DEST=PRD", nullptr);
  ASSERT_NE(handle, 0u) << Trace();
  SystemInfoCall call;
  EXPECT_EQ(call.Run(handle), RFC_OK);
  EXPECT_NE(system.Log().find("language D"), std::string::npos) << system.Log();
}

TEST_F(OpenTest, OpenExKeysAreCaseInsensitiveAndValuesMayBeQuoted) {
  SimulatedSystem system(SystemFile(), 3310);
  folder_.Write("SapRfc.ini", IniFor(system));
  EXPECT_NE(RfcOpenEx("client=100 user=monitor passwd=\"Secret#1\" lang=E dest=PRD", nullptr), 0u)
      << Trace();
}

TEST_F(OpenTest, OpenExFailuresSayWhatIsWrongWithoutThePassword) {
  struct Case {
    const char *name;
    const char *ini; // null: no SapRfc.ini
    const char *text;
    const char *detail;
  };
  const Case cases[] = {
      {"no destination file", nullptr, "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD",
       "destination file not found"},
      {"destination missing", "DEST=QAS\nTYPE=A\nASHOST=127.0.0.2\nSYSNR=00\n",
       "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD", "destination PRD not found"},
      {"destination case differs", "DEST=prd\nTYPE=A\nASHOST=127.0.0.2\nSYSNR=00\n",
       "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD", "destination PRD not found"},
      {"load balancing", "DEST=PRD\nTYPE=B\nMSHOST=127.0.0.2\nR3NAME=PRD\n",
       "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD", "invalid connect data"},
      {"no system number", "DEST=PRD\nTYPE=A\nASHOST=127.0.0.2\n",
       "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD", "invalid connect data"},
      // SAP's libraries take a system number of two digits and an application server only.
      {"one-digit system number", "DEST=PRD\nTYPE=A\nASHOST=127.0.0.2\nSYSNR=5\n",
       "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD", "invalid connect data"},
      {"gateway only", "DEST=PRD\nTYPE=A\nGWHOST=127.0.0.2\nGWSERV=sapgw00\nSYSNR=00\n",
       "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD", "invalid connect data"},
      {"system number that would wrap to 00",
       "DEST=PRD\nTYPE=A\nASHOST=127.0.0.2\nGWSERV=sapgw00\n",
       "CLIENT=100 USER=U PASSWD=Pw0rdX DEST=PRD SYSNR=4294967296", "invalid connect data"},
      {"unterminated quote", nullptr, "CLIENT=100 USER=U PASSWD=\"Pw0rdX DEST=PRD",
       "invalid connect data"},
      {"part without =", nullptr, "CLIENT=100 USER=U PASSWD=Pw0rd Xtra DEST=PRD",
       "invalid connect data"},
  };
  for (const Case &c : cases) {
    std::filesystem::remove(folder_.Path() / "SapRfc.ini");
    if (c.ini != nullptr) {
      folder_.Write("SapRfc.ini", c.ini);
    }
    RFC_ERROR_INFO_EX info{};
    EXPECT_EQ(RfcOpenEx(c.text, &info), 0u) << c.name;
    EXPECT_EQ(TraceDetail(), c.detail) << c.name << "\n" << Trace();
    EXPECT_NE(info.key[0], '\0') << c.name;
    EXPECT_EQ(std::string(info.message).find("Pw0rd"), std::string::npos) << c.name;
  }
  const std::string trace = Trace();
  EXPECT_EQ(trace.find("Pw0rd"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("Xtra"), std::string::npos) << "no part of the connect text is echoed";
}

TEST_F(OpenTest, CloseWithZeroClosesEveryConnection) {
  SimulatedSystem system(SystemFile(), 3311);
  const RFC_HANDLE first = Open(ValuesFor(system));
  const RFC_HANDLE second = Open(ValuesFor(system));
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_NE(first, second);
  RfcClose(0);
  SystemInfoCall call_first;
  SystemInfoCall call_second;
  EXPECT_EQ(call_first.Run(first), RFC_FAILURE);
  EXPECT_EQ(call_second.Run(second), RFC_FAILURE);
  EXPECT_EQ(TraceDetail(), "invalid connection handle");
  RfcClose(first); // closing again is harmless and traces nothing
  EXPECT_EQ(TraceDetail(), "invalid connection handle");
}

} // namespace
} // namespace kestrovan_test
