// Per-test scratch working directory and helpers for opening connections to a simulated system.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "rfcapi/rfc_api.h"
#include "support/scoped_temp_dir.h"
#include "support/simulated_system.h"

namespace kestrovan_test {

/// A system file accepting client 100, user MONITOR, password Secret#1, with `extra` lines added.
std::string SystemFile(const std::string &extra = "");

/// The values the sensor puts into the options record; pointers go into these strings.
struct OpenValues {
  std::string destination = "PRD";
  int mode = RFC_MODE_R3ONLY;
  std::string host;
  int sysnr = 0;
  std::string gateway_host;
  std::string gateway_service;
  std::string client = "100";
  std::string user = "MONITOR     ";   // padded to 12 as the sensor does
  std::string password = "Secret#1  "; // padded to 10
  std::string language = "E";
};

/// Every test runs in its own scratch folder (trace, SapRfc.ini, RfcStandin.ini live there),
/// with no error handler installed, and leaves no connection open.
class LibraryTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  /// Values that reach `system` in mode 0.
  static OpenValues ValuesFor(const SimulatedSystem &system);
  static RFC_HANDLE Open(OpenValues values);
  /// Short limits so hang tests end fast: CONNECT_TIMEOUT and CALL_TIMEOUT in milliseconds.
  void SetTimeouts(int connect_ms, int call_ms) const;
  std::string Trace() const { return folder_.Read("Dev_Rfc.Trc"); }
  /// What the sensor's trace reader would take: the last ERROR line's text from column 13,
  /// discarded again by a later "**** ERROR " header.
  std::string TraceDetail() const;

  ScopedTempDir folder_;

private:
  std::optional<ScopedWorkingDirectory> working_directory_;
};

} // namespace kestrovan_test
