// End-to-end fixture: simulated systems on loopback, a drive root with the probe's sensor folder,
// and the built sensor run in its own working directory as the monitoring host runs it.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "run_process.h"
#include "sensor_texts.h"
#include "support/simulated_system.h"
#include "test_platform.h"

/// What a simulated system answers: the system file's values, before faults are added.
struct SimulatedSystemAnswers {
  std::string host = "sapprd";
  std::string dbsys = "ORACLE";
  unsigned missing = 1234;
  unsigned not_defined = 3;
  std::string extra; // further lines of the system file
};

std::string SystemFileText(const SimulatedSystemAnswers &spec);

/// A profile for a system reached at host and system number, logon MONITOR / Secret1.
std::string ProfileFor(const std::string &destination, const std::string &host, int sysnr,
                       const std::string &password = "Secret1");

/// The document text of a run whose system the built-in test library refused: not on this machine.
inline std::string TestLibraryRefusal(const std::string &destination) {
  return "Error 1032: " + destination +
         " is not on this machine: the built-in RFC library is a test library and reaches loopback "
         "addresses only; install SAP's RFC library (see README)";
}

/// The library's error block for a reply it could not read, as a regular expression: the values
/// are the library's own.
inline constexpr const char *kReceiveBlockPattern = "RFC error\n"
                                                    "operation/code  : RfcReceive\n"
                                                    "key             : [^\n]*\n"
                                                    "status          : [^\n]*\n"
                                                    "message         : [^\n]*\n"
                                                    "internal status : [^\n]*\n"
                                                    "\n"
                                                    "\\* Programm aborted\\.\\.\\.\n";

/// Why the sensor cannot be run in a network namespace of its own here; nothing when it can.
/// Under Wine it never can: the sockets belong to the wineserver, which lives outside.
std::optional<std::string> NoOwnNetwork();

class Landscape {
public:
  Landscape();

  /// Starts a system at 3300 + sysnr on its own loopback address.
  kestrovan_test::SimulatedSystem &Start(const SimulatedSystemAnswers &spec, int sysnr);
  /// Short timeouts for systems that hang, so a test does not wait for the defaults (for the
  /// stand-in and for the NetWeaver binding).
  void ShortTimeouts();

  ProcessResult Sensor(const std::vector<std::string> &args) const;
  /// Another build of the sensor, run as Sensor runs the default one.
  ProcessResult Program(const std::string &program, const std::vector<std::string> &args) const;
  /// The sensor in a network namespace of its own whose loopback device carries the addresses
  /// off loopback that the profiles name: should the library try to reach one, nothing leaves
  /// the machine. Only where NoOwnNetwork() says nothing.
  ProcessResult SensorInOwnNetwork(const std::vector<std::string> &args,
                                   const std::vector<std::string> &addresses) const;

  ScratchTree tree;

private:
  std::vector<std::unique_ptr<kestrovan_test::SimulatedSystem>> systems_;
};
