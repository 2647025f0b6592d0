// The end-to-end landscape: simulators, profiles and the sensor process.
#include "sapsim_fixture.h"

#include "programs.h"

#include <random>

#include "profile/password_scrambler.h"

std::string SystemFileText(const SimulatedSystemAnswers &spec) {
  return "rfchost = " + spec.host + "\nrfcsysid = PRD\nrfcdbsys = " + spec.dbsys +
         "\nclient = 100\nuser = MONITOR\npassword = Secret1\nmissing_index = " +
         std::to_string(spec.missing) +
         "\nindex_not_defined = " + std::to_string(spec.not_defined) + "\n" + spec.extra;
}

std::string ProfileFor(const std::string &destination, const std::string &host, int sysnr,
                       const std::string &password) {
  std::mt19937 random(9);
  char number[8];
  std::snprintf(number, sizeof number, "%02d", sysnr);
  return "Extcompany.: Monitoring\r\nDestination: " + destination +
         "\r\nClient.....: 100\r\n"
         "User.......: monitor\r\nPassword...: " +
         *kestrovan::ScramblePassword(password, random) +
         "\r\nLanguage...: E\r\nMode.......: R/3\r\nHostname...: " + host +
         "\r\nSysnr......: " + number + "\r\nGwhost.....: " + host + "\r\nGwservice..: sapgw" +
         number + "\r\n";
}

Landscape::Landscape() = default;

kestrovan_test::SimulatedSystem &Landscape::Start(const SimulatedSystemAnswers &spec, int sysnr) {
  systems_.push_back(std::make_unique<kestrovan_test::SimulatedSystem>(
      SystemFileText(spec), kestrovan_test::SimulatedSystem::kGatewayBasePort + sysnr));
  return *systems_.back();
}

void Landscape::ShortTimeouts() {
  tree.Write("RfcStandin.ini", "CONNECT_TIMEOUT=500ms\nCALL_TIMEOUT=500ms\n");
  // The NetWeaver binding's own limits: its watchdog cancels what the library would wait for.
  tree.Write("NwRfcLimits.ini", "CONNECT_TIMEOUT=2s\nCALL_TIMEOUT=500ms\n");
}

ProcessResult Landscape::Sensor(const std::vector<std::string> &args) const {
  return Program(SensorProgram(), args);
}

ProcessResult Landscape::Program(const std::string &program,
                                 const std::vector<std::string> &args) const {
  return RunProcess(program, args, tree.work().string(),
                    {{"KESTROVAN_DRIVE_ROOT", tree.root().string()}});
}

std::optional<std::string> NoOwnNetwork() {
  if (TestingWindowsPrograms()) {
    return "the Windows programs' sockets belong to the wineserver, outside any namespace of the "
           "test's own";
  }
  return OwnNetworkUnavailable();
}

ProcessResult Landscape::SensorInOwnNetwork(const std::vector<std::string> &args,
                                            const std::vector<std::string> &addresses) const {
  return RunProcessInOwnNetwork(SensorProgram(), args, tree.work().string(),
                                {{"KESTROVAN_DRIVE_ROOT", tree.root().string()}}, addresses);
}
