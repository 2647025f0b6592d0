// Protocol violations reach the installed error handler, which may close everything and throw.
#include <gtest/gtest.h>

#include <string>

#include "library_fixture.h"
#include "sensor_calls.h"

namespace kestrovan_test {
namespace {

/// What the sensor's handler does: read the last error, close all, leave by an exception.
struct HandlerEscape {
  std::string operation;
  RFC_ERROR_INFO info;
};

void RFC_CALL ThrowingHandler(char *operation) {
  HandlerEscape escape{operation, {}};
  RfcLastError(&escape.info);
  RfcClose(0);
  throw escape;
}

std::string g_operation;
void RFC_CALL ReturningHandler(char *operation) { g_operation = operation; }

using ErrorHandlerTest = LibraryTest;

TEST_F(ErrorHandlerTest, GarbageReplyCallsTheHandlerWithRfcReceive) {
  SimulatedSystem system(SystemFile("fail.db_ora_missing_indices = garbage\n"), 3340);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  const RFC_HANDLE other = Open(ValuesFor(system));
  ASSERT_NE(handle, 0u);
  ASSERT_NE(other, 0u);
  RFC_ENV environment{ThrowingHandler, nullptr};
  RfcEnvironment(&environment);
  MissingIndicesCall call;
  try {
    call.Run(handle);
    FAIL() << "the handler was not called";
  } catch (const HandlerEscape &escape) {
    EXPECT_EQ(escape.operation, "RfcReceive");
    EXPECT_STREQ(escape.info.key, "RFC_ERROR_PROTOCOL");
    EXPECT_STREQ(escape.info.status, "malformed data from partner");
    EXPECT_NE(std::string(escape.info.message).find("claims 4294967295 rows"), std::string::npos)
        << escape.info.message;
  }
  EXPECT_EQ(TraceDetail(), "malformed data from partner");
  // RfcClose(0) inside the handler closed the other connection too.
  SystemInfoCall after;
  EXPECT_EQ(after.Run(other), RFC_FAILURE);
}

TEST_F(ErrorHandlerTest, GarbageDuringTheCallCallsTheHandlerWithRfcCall) {
  SimulatedSystem system(SystemFile("fail.rfc_system_info = call_garbage\n"), 3341);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  RFC_ENV environment{ThrowingHandler, nullptr};
  RfcEnvironment(&environment);
  SystemInfoCall call;
  try {
    call.Run(handle);
    FAIL() << "the handler was not called";
  } catch (const HandlerEscape &escape) {
    EXPECT_EQ(escape.operation, "RfcCall");
    EXPECT_NE(std::string(escape.info.message).find("unknown message type 238"), std::string::npos)
        << escape.info.message;
  }
}

TEST_F(ErrorHandlerTest, GarbageDuringLogonCallsTheHandlerWithRfcOpen) {
  SimulatedSystem system(SystemFile("fail.logon = garbage\n"), 3342);
  RFC_ENV environment{ThrowingHandler, nullptr};
  RfcEnvironment(&environment);
  try {
    Open(ValuesFor(system));
    FAIL() << "the handler was not called";
  } catch (const HandlerEscape &escape) {
    EXPECT_EQ(escape.operation, "RfcOpen");
    EXPECT_NE(std::string(escape.info.message).find("magic"), std::string::npos)
        << escape.info.message;
  }
}

TEST_F(ErrorHandlerTest, AHandlerThatReturnsLeavesFailure) {
  SimulatedSystem system(SystemFile("fail.rfc_system_info = garbage\n"), 3343);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  g_operation.clear();
  RFC_ENV environment{ReturningHandler, nullptr};
  RfcEnvironment(&environment);
  SystemInfoCall call;
  EXPECT_EQ(call.Run(handle), RFC_FAILURE);
  EXPECT_EQ(g_operation, "RfcReceive");
  EXPECT_EQ(call.Run(handle), RFC_FAILURE) << "the connection is closed after the violation";
}

TEST_F(ErrorHandlerTest, WithoutAHandlerGarbageIsAFailure) {
  SimulatedSystem system(SystemFile("fail.rfc_system_info = garbage\n"), 3344);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  SystemInfoCall call;
  EXPECT_EQ(call.Run(handle), RFC_FAILURE);
  EXPECT_EQ(TraceDetail(), "malformed data from partner");
}

TEST_F(ErrorHandlerTest, OrdinaryFailuresDoNotCallTheHandler) {
  SetTimeouts(2000, 300);
  SimulatedSystem system(SystemFile("fail.rfc_system_info = drop\n"), 3345);
  const RFC_HANDLE handle = Open(ValuesFor(system));
  g_operation.clear();
  RFC_ENV environment{ReturningHandler, nullptr};
  RfcEnvironment(&environment);
  SystemInfoCall call;
  EXPECT_EQ(call.Run(handle), RFC_FAILURE);
  EXPECT_EQ(g_operation, "");
}

} // namespace
} // namespace kestrovan_test
