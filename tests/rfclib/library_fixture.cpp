// LibraryTest set-up, tear-down and helpers.
#include "library_fixture.h"

#include <sstream>

namespace kestrovan_test {

std::string SystemFile(const std::string &extra) {
  return "# a test system\n"
         "rfchost = sapprd\n"
         "rfcsysid = PRD\n"
         "rfcdbsys = ORACLE\n"
         "client = 100\n"
         "user = monitor\n"
         "password = Secret#1\n" +
         extra;
}

void LibraryTest::SetUp() {
  working_directory_.emplace(folder_.Path());
  RfcEnvironment(nullptr);
}

void LibraryTest::TearDown() {
  RfcClose(0);
  RFC_ENV none{};
  RfcEnvironment(&none);
  working_directory_.reset();
}

OpenValues LibraryTest::ValuesFor(const SimulatedSystem &system) {
  OpenValues values;
  values.host = system.Address();
  values.sysnr = system.SystemNumber();
  return values;
}

RFC_HANDLE LibraryTest::Open(OpenValues values) {
  auto text = [](std::string &value) { return value.empty() ? nullptr : value.data(); };
  RFC_CONNOPT_R3 server{text(values.host), values.sysnr, text(values.gateway_host),
                        text(values.gateway_service)};
  RFC_CONNOPT_CPIC gateway{text(values.gateway_host), text(values.gateway_service)};
  RFC_OPTIONS options{};
  options.destination = values.destination.data();
  options.mode = values.mode;
  options.connopt = values.mode == RFC_MODE_CPIC ? static_cast<void *>(&gateway) : &server;
  options.client = values.client.data();
  options.user = values.user.data();
  options.password = values.password.data();
  options.language = values.language.data();
  return RfcOpen(&options);
}

void LibraryTest::SetTimeouts(int connect_ms, int call_ms) const {
  folder_.Write("RfcStandin.ini",
                "# short limits for tests\nCONNECT_TIMEOUT=" + std::to_string(connect_ms) +
                    "ms\nCALL_TIMEOUT=" + std::to_string(call_ms) + "ms\n");
}

std::string LibraryTest::TraceDetail() const {
  std::istringstream lines(Trace());
  std::string line;
  std::string detail;
  while (std::getline(lines, line)) {
    if (line.rfind("**** ERROR ", 0) == 0) {
      detail.clear();
    }
    if (line.rfind("ERROR ", 0) == 0) {
      detail = line.size() > 12 ? line.substr(12) : std::string();
    }
  }
  return detail;
}

} // namespace kestrovan_test
