// Entry point of the sensor: the only place where the process ends.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include "driver/sensor.h"
#include "output/result_document.h"
#include "loader/system_library.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif

using namespace kestrovan;

namespace {

/// A failure's own words, cut short and kept to characters the document can hold as they are.
std::string Printable(std::string_view what) {
  constexpr std::size_t kLongest = 80;
  std::string text;
  for (char c : what.substr(0, kLongest)) {
    const bool plain = c >= ' ' && c <= '~' && c != '<' && c != '>' && c != '&';
    text.push_back(plain ? c : '?');
  }
  return text;
}

/// The monitor is told of a failure the run did not foresee as of any other error: in a
/// document of its own, never on standard error, which the monitor does not read.
void ReportInternalFailure(Platform *os, std::string_view what) {
  try {
    const std::string document =
        ErrorDocument("Error 1099: Internal failure (" + Printable(what) + ")");
    if (os) {
      os->WriteStdout(document);
    } else {
      std::fwrite(document.data(), 1, document.size(), stdout);
    }
  } catch (...) {
    // Without memory for the text: the same document, written from constants.
    std::fputs("<Prtg>\n<Error>1</Error>\n<Text>Error 1099: Internal failure</Text>\n</Prtg>\n",
               stdout);
  }
}

} // namespace

int main(int argc, char **argv) {
#ifdef __linux__
  // The logon password passes through this process's memory in clear: no core file of it.
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
#ifndef _WIN32
  // A monitor that stopped reading gets a run that ends with exit code 2, as for any output that
  // did not arrive, not one killed by the signal.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  const bool stdout_open = OpenMissingStandardStreams();
  std::unique_ptr<Platform> os;
  int exit_code = kExitError;
  bool call_left_running = false;
  try {
    os = MakeSystemPlatform(SystemDriveRoot());
    std::vector<std::string> arguments(argv, argv + argc);
    exit_code = RunSensor(*os, SystemRfcLibrary, std::move(arguments), &call_left_running);
  } catch (const std::exception &failure) {
    ReportInternalFailure(os.get(), failure.what());
    exit_code = kExitError;
  } catch (...) {
    ReportInternalFailure(os.get(), "unknown");
    exit_code = kExitError;
  }
  const bool flushed = std::fflush(stdout) == 0;
  // Success, or any other result, cannot be claimed for a document that did not arrive whole.
  if (!stdout_open || !flushed || (os && os->StdoutFailed())) {
    exit_code = kExitError;
  }
  // A library call left running at the run's deadline may still hold the library's state; the
  // process ends at once rather than tearing that state down under it.
  if (call_left_running) {
    std::_Exit(exit_code);
  }
  return exit_code;
}
