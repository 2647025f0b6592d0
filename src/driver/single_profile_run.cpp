// The single-profile run: from the profile to the document of its one system.
#include "driver/single_profile_run.h"

#include "checks/checks.h"
#include "output/log_lines.h"
#include "output/result_document.h"
#include "session/error_report.h"
#include "session/open_connection.h"

namespace kestrovan {

namespace {

/// The option text as the "State=Executing" line shows it: cut before the first "#" and the
/// first "@"; "(No Parameters)" when nothing is left.
std::string ParameterDisplayText(const std::string &parameters) {
  std::string text = parameters.substr(0, parameters.find('#'));
  text = text.substr(0, text.find('@'));
  if (text == "(Parameters " || text == "(No ") {
    text.clear();
  }
  return text.empty() ? "(No Parameters)" : text;
}

/// Connects, checks and prints the result of the one system of a single-profile run; returns
/// what ended it short of its result.
std::optional<RunEnding> RunOneSystem(Run &run, SystemValues &system) {
  Platform &os = run.os;
  const RunSetup &setup = run.setup;
  const ConnectionParameters &connection = system.connection;
  // Anything but the counts ends the run here.
  const auto ending_of = [&](const SystemOutcome &outcome) -> std::optional<RunEnding> {
    SingleRunResult result =
        SingleRunRule(outcome, connection.destination, setup.options.time_limit_seconds);
    if (auto *ending = std::get_if<RunEnding>(&result)) {
      return std::move(*ending);
    }
    return std::nullopt;
  };
  run.rfc.log().Write(0, "program started", setup.program);
  ErrorHandlerScope handler(run.rfc);
  if (run.rfc.stopped()) {
    return ending_of(*run.rfc.stopped());
  }
  run.rfc.log().Write(0, "RfcEnvironment called", "");

  if (setup.console) {
    const std::string time = TimeOfDay(os);
    os.WriteStdout(setup.banner + "\n");
    os.WriteStdout(SystemLine(system, time, setup.profile.name) + " State=Processing\n");
    os.WriteStdout("* " + time + " " + std::string(kProgramName) + " - " +
                   ParameterDisplayText(setup.options.text) + " State=Executing\n");
  }

  const SystemRun checked = CheckSystem(run, connection, setup.options.overrides);
  if (checked.host) {
    system.display_host = *checked.host;
  }
  const SystemOutcome &outcome = checked.outcome;
  if (auto ending = ending_of(outcome)) {
    return ending;
  }
  const IndexCounts &counts = std::get<IndexCounts>(outcome);

  ResultDocument document(setup.mode, setup.options.selected_channel);
  document.BeginDocument();
  document.BeginText();
  document.AddText("(" + connection.destination +
                   ") Indices: Not_Defined=" + GroupThousands(std::to_string(counts.not_defined)) +
                   ", Missing_Indices=" + GroupThousands(std::to_string(counts.missing)));
  document.EndText();
  document.AddChannel(kNotDefinedChannel, std::to_string(counts.not_defined), "");
  document.AddChannel(kMissingChannel, std::to_string(counts.missing), "");
  document.EndDocument();
  os.WriteStdout(document.Take());
  // A run that succeeded leaves no trace of earlier failures behind.
  os.RemoveFile(std::string(kTraceFile));
  if (setup.console) {
    os.WriteStdout(EndLine(os));
  }
  return std::nullopt;
}

} // namespace

std::optional<RunEnding> SingleProfileRun(Run &run, TextSource &profile_text) {
  SystemValues system;
  const ProfileReadResult read =
      ReadProfile(profile_text, kSingleProfilePiece, ProfileReading::StopAtFault,
                  run.setup.profile.name, system.connection, system.display_host);
  if (!read.valid) {
    return ErrorEnding{read.first_fault};
  }
  const std::string fault = CheckProfile(system.connection, run.setup.profile.name);
  if (!fault.empty()) {
    return ErrorEnding{fault};
  }
  if (auto ending = PrepareSession(run, run.setup.options)) {
    return ending;
  }
  return RunOneSystem(run, system);
}

} // namespace kestrovan
