// The sensor's run: start-up, finding the profile, and the run of one system from its profile to
// the document. A global listing run takes over after start-up (global_listing_run.cpp).
#include "driver/sensor.h"

#include "driver/run.h"
#include "output/log_lines.h"
#include "rfc/error_report.h"
#include "rfc/open_connection.h"

namespace kestrovan {

namespace {

constexpr std::string_view kDefaultExtension = ".P00";
constexpr std::string_view kHostSensorDirectory = "PRTG Network Monitor\\Custom Sensors\\ExeXml\\";
constexpr std::string_view kSensorDirectory = "Custom Sensors\\ExeXml\\";
// Where the monitoring host installs its custom sensors when no path file says otherwise: the
// working directory first, then the host's folder on the current drive under its usual names.
constexpr std::string_view kBuiltInDirectories[] = {
    "",
    "\\Programme\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\",
    "\\Program Files\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\",
    "\\Program Files (x86)\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\",
};
constexpr std::string_view kDirectoryTestName = "EXEXML";

ErrorEnding ProfileMissing(const std::string &path) {
  return {"Error 1002: Profile " + path + " is missing..."};
}

/// A line of the path file names a directory when it starts like a path. A line holding a NUL
/// names nothing Windows could open.
bool LooksLikeDirectory(const std::string &line) {
  if (line.find('\0') != std::string::npos) {
    return false;
  }
  return line.starts_with('\\') || (line.size() > 2 && line[2] == '\\') ||
         (line.size() > 1 && line[1] == ':');
}

/// The directory of the monitoring host's custom sensors that holds the profile. Only a profile
/// below a folder named ExeXml is one the monitoring host placed.
OrEnding<std::string> SearchSensorDirectory(Platform &os, const std::string &profile_name) {
  std::string directory;
  if (auto path_file = os.OpenText(std::string(kInstallPathFile))) {
    std::string line;
    while (path_file->Next(kInstallPathPiece, &line)) {
      StripLineFeed(&line);
      if (LooksLikeDirectory(line)) {
        directory = line;
      }
    }
    if (!directory.ends_with('\\')) {
      directory += '\\';
    }
    if (os.IsFile(directory + std::string(kHostSensorDirectory) + profile_name)) {
      directory += kHostSensorDirectory;
    }
    if (os.IsFile(directory + std::string(kSensorDirectory) + profile_name)) {
      directory += kSensorDirectory;
    }
    if (!os.IsFile(directory + profile_name)) {
      return ProfileMissing(profile_name);
    }
  } else {
    bool found = false;
    for (std::string_view candidate : kBuiltInDirectories) {
      if (os.IsFile(std::string(candidate) + profile_name)) {
        directory = candidate;
        found = true;
        break;
      }
    }
    if (!found) {
      return ProfileMissing(profile_name);
    }
  }

  if (directory.size() < kDirectoryTestName.size() + 1 ||
      UpperAscii(directory.substr(directory.size() - 1 - kDirectoryTestName.size(),
                                  kDirectoryTestName.size())) != kDirectoryTestName) {
    return ErrorEnding{"Sorry, invalid Path-Usage..."};
  }
  return directory;
}

} // namespace

OrEnding<StartedUp> StartUp(Platform &os, const std::vector<std::string> &args) {
  RunSetup run;
  run.start_time = FormatTimeOfDay(os.Now());
  run.banner =
      "* " + run.start_time + " SAP " + std::string(kProgramName) + " " + std::string(kVersionText);
  run.program = args.empty() ? std::string() : args[0];
  if (args.size() < 2) {
    return ErrorEnding{"Error 1001: Parameter for Profile-Name is missing !"};
  }

  std::string name = args[1];
  run.sensor_argument = args.size() > 2 ? args[2] : "";
  std::string option_text = run.sensor_argument;
  if (args.size() > 3) {
    option_text += " " + args[3];
  }
  run.options = ParseOptions(std::move(option_text));
  run.console = run.options.console;

  if (run.options.item) {
    run.global_listing = true;
    name = kItemRouteFile;
  }
  if (name.size() < kDefaultExtension.size() ||
      name[name.size() - kDefaultExtension.size()] != '.') {
    name += kDefaultExtension;
  }

  ProfileLocation &profile = run.profile;
  const std::size_t last_backslash = name.find_last_of('\\');
  if (last_backslash != std::string::npos && last_backslash > 0) {
    profile.directory = name.substr(0, last_backslash + 1);
    name.erase(0, last_backslash + 1);
  }
  if (UpperAscii(name) == "GLOBAL.P00") {
    run.global_listing = true;
    name = kGlobalListingFile;
  }
  profile.name = name;
  profile.path = profile.directory + profile.name;

  for (const FlavourSwitch &flavour : kFlavourSwitches) {
    if (os.IsFile(std::string(flavour.file))) {
      run.mode = flavour.mode;
    }
  }

  // A profile named where it lies is taken from there: by a person at a console ("@") or by a
  // further output flavour. The monitoring host's own runs look in its sensor folder.
  const bool named_where_it_lies = run.mode != OutputMode::EXEXML || run.options.at_sign;
  if (!named_where_it_lies) {
    OrEnding<std::string> directory = SearchSensorDirectory(os, profile.name);
    if (auto *ending = std::get_if<ErrorEnding>(&directory)) {
      return std::move(*ending);
    }
    profile.directory = std::get<std::string>(std::move(directory));
    profile.path = profile.directory + profile.name;
  }
  std::unique_ptr<TextSource> text = os.OpenText(profile.path);
  if (!text) {
    return ProfileMissing(named_where_it_lies ? profile.path : profile.name);
  }
  return StartedUp{std::move(run), std::move(text)};
}

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

/// "Error 1031: ...": the single-profile run's time limit came while it waited for step.
std::string TimeLimitText(const std::string &destination, const std::string &step, int seconds) {
  return "Error 1031: " + destination + " did not answer " + step + " within the time limit of " +
         std::to_string(seconds) + " s...";
}

/// Connects, checks and prints the result of the one system of a single-profile run; returns
/// what ended it short of its result.
std::optional<RunEnding> RunOneSystem(Run &run, SystemValues &system) {
  Platform &os = run.os;
  const RunSetup &setup = run.setup;
  const ConnectionParameters &connection = system.connection;
  // Where the run's time ran out, its document names the system and what it waited for.
  const auto ending_of = [&](const RfcStop &stop) -> RunEnding {
    if (const auto *deadline = std::get_if<RfcDeadline>(&stop)) {
      return ErrorEnding{
          TimeLimitText(connection.destination, deadline->step, setup.options.time_limit_seconds)};
    }
    return std::get<RfcAbort>(stop);
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

  const RFC_HANDLE handle = OpenConnection(run.rfc, connection, setup.options.overrides);
  if (run.rfc.stopped()) {
    return ending_of(*run.rfc.stopped());
  }
  if (handle == 0) {
    const bool test_library = RefusedByTestLibrary(run.rfc);
    if (run.rfc.stopped()) {
      return ending_of(*run.rfc.stopped());
    }
    if (test_library) {
      return ErrorEnding{TestLibraryText(connection.destination)};
    }
    return ErrorEnding{"Error 1011: RFC-Open for " + connection.destination + " failed !"};
  }

  const SystemCheck check = CheckConnectedSystem(run.rfc, handle);
  if (check.host) {
    system.display_host = *check.host;
  }
  if (const auto *stop = std::get_if<RfcStop>(&check.outcome)) {
    return ending_of(*stop);
  }
  if (std::holds_alternative<NotOracle>(check.outcome)) {
    return ErrorEnding{std::string(kDatabaseMismatch)};
  }
  if (const auto *failed = std::get_if<FailedCheck>(&check.outcome)) {
    return ErrorEnding{WithTraceDetail(failed->failure.text, failed->failure.trace_detail)};
  }
  const IndexCounts &counts = std::get<IndexCounts>(check.outcome);

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

/// Reads and checks the profile, binds the library and runs the profile's system.
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

/// The one place a run's early ending is written: the error document, or the library's block.
int WriteEnding(Platform &os, const RunEnding &ending) {
  if (const auto *error = std::get_if<ErrorEnding>(&ending)) {
    os.WriteStdout(ErrorDocument(error->text));
    return kExitError;
  }
  const RfcAbort &abort = std::get<RfcAbort>(ending);
  os.WriteStdout(RfcErrorBlock(
      {abort.operation, abort.key, abort.status, abort.message, abort.internal_status}));
  return kExitRfcError;
}

} // namespace

std::optional<RunEnding> PrepareSession(Run &run, const RunOptions &options) {
  if (std::optional<std::string> problem = run.rfc.Bind()) {
    return ErrorEnding{std::move(*problem)};
  }
  run.deadline = run.started + std::chrono::seconds(options.time_limit_seconds);
  run.rfc.SetDeadline(run.deadline);
  if (options.syslog) {
    run.rfc.OpenLog(run.setup.profile.directory);
  }
  return std::nullopt;
}

std::string TestLibraryText(const std::string &destination) {
  return "Error 1032: " + destination +
         " is not on this machine: the built-in RFC library is a test library and reaches "
         "loopback addresses only; install SAP's RFC library (see README)";
}

std::string SystemLine(const SystemValues &system, const std::string &time,
                       const std::string &entry) {
  const ConnectionParameters &c = system.connection;
  return "* " + time + " " + entry + ", " + system.display_host + ", " + c.destination + ", " +
         c.sysnr + ", " + c.client;
}

std::string EndLine(Platform &os) {
  return "\n* " + TimeOfDay(os) + " SAP " + std::string(kProgramName) + " now processed...\n";
}

int RunSensor(Platform &os, const RfcLibrary *rfc, std::vector<std::string> arguments) {
  return RunSensor(
      os, [rfc](std::string *) { return rfc; }, std::move(arguments));
}

int RunSensor(Platform &os, RfcBinder bind, std::vector<std::string> arguments,
              bool *call_left_running) {
  const RunClock::time_point started = RunClock::now();
  OrEnding<StartedUp> start = StartUp(os, arguments);
  if (auto *ending = std::get_if<ErrorEnding>(&start)) {
    return WriteEnding(os, *ending);
  }
  StartedUp &started_up = std::get<StartedUp>(start);
  Run run(os, std::move(started_up.setup), std::move(bind), started);
  const std::optional<RunEnding> ending = run.setup.global_listing
                                              ? GlobalListingRun(run)
                                              : SingleProfileRun(run, *started_up.profile_text);
  if (call_left_running) {
    *call_left_running = run.rfc.call_left_running();
  }
  return ending ? WriteEnding(os, *ending) : kExitDone;
}

} // namespace kestrovan
