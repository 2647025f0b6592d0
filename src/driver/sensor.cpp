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

[[noreturn]] void ProfileMissing(Platform &os, const std::string &path) {
  EndWithErrorDocument(os, "Error 1002: Profile " + path + " is missing...");
}

/// A line of the path file names a directory when it starts like a path. A line holding a NUL
/// names nothing Windows could open.
bool LooksLikeDirectory(const std::string &line) {
  if (line.find('\0') != std::string::npos) return false;
  return line.starts_with('\\') || (line.size() > 2 && line[2] == '\\') ||
         (line.size() > 1 && line[1] == ':');
}

/// The directory of the monitoring host's custom sensors that holds the profile. Only a profile
/// below a folder named ExeXml is one the monitoring host placed.
std::string SearchSensorDirectory(Platform &os, const std::string &profile_name) {
  std::string directory;
  if (auto path_file = os.OpenText(std::string(kInstallPathFile))) {
    std::string line;
    while (path_file->Next(kInstallPathPiece, &line)) {
      StripLineFeed(&line);
      if (LooksLikeDirectory(line)) directory = line;
    }
    if (!directory.ends_with('\\')) directory += '\\';
    if (os.IsFile(directory + std::string(kHostSensorDirectory) + profile_name))
      directory += kHostSensorDirectory;
    if (os.IsFile(directory + std::string(kSensorDirectory) + profile_name))
      directory += kSensorDirectory;
    if (!os.IsFile(directory + profile_name)) ProfileMissing(os, profile_name);
  } else {
    bool found = false;
    for (std::string_view candidate : kBuiltInDirectories) {
      if (os.IsFile(std::string(candidate) + profile_name)) {
        directory = candidate;
        found = true;
        break;
      }
    }
    if (!found) ProfileMissing(os, profile_name);
  }

  if (directory.size() < kDirectoryTestName.size() + 1 ||
      UpperAscii(directory.substr(directory.size() - 1 - kDirectoryTestName.size(),
                                  kDirectoryTestName.size())) != kDirectoryTestName)
    EndWithErrorDocument(os, "Sorry, invalid Path-Usage...");
  return directory;
}

} // namespace

std::unique_ptr<TextSource> StartUp(Run &run, const std::vector<std::string> &args) {
  Platform &os = run.os;
  run.start_time = FormatTimeOfDay(os.Now());
  run.banner =
      "* " + run.start_time + " SAP " + std::string(kProgramName) + " " + std::string(kVersionText);
  run.program = args.empty() ? std::string() : args[0];
  if (args.size() < 2)
    EndWithErrorDocument(os, "Error 1001: Parameter for Profile-Name is missing !");

  std::string name = args[1];
  run.sensor_argument = args.size() > 2 ? args[2] : "";
  std::string option_text = run.sensor_argument;
  if (args.size() > 3) option_text += " " + args[3];
  run.options = ParseOptions(std::move(option_text));
  run.console = run.options.console;

  if (run.options.item) {
    run.global_listing = true;
    name = kItemRouteFile;
  }
  if (name.size() < kDefaultExtension.size() || name[name.size() - kDefaultExtension.size()] != '.')
    name += kDefaultExtension;

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
    if (os.IsFile(std::string(flavour.file))) run.mode = flavour.mode;
  }

  // A profile named where it lies is taken from there: by a person at a console ("@") or by a
  // further output flavour. The monitoring host's own runs look in its sensor folder.
  const bool named_where_it_lies = run.mode != OutputMode::EXEXML || run.options.at_sign;
  if (!named_where_it_lies) {
    profile.directory = SearchSensorDirectory(os, profile.name);
    profile.path = profile.directory + profile.name;
  }
  std::unique_ptr<TextSource> text = os.OpenText(profile.path);
  if (!text) ProfileMissing(os, named_where_it_lies ? profile.path : profile.name);
  return text;
}

namespace {

/// The option text as the "State=Executing" line shows it: cut before the first "#" and the
/// first "@"; "(No Parameters)" when nothing is left.
std::string ParameterDisplayText(const std::string &parameters) {
  std::string text = parameters.substr(0, parameters.find('#'));
  text = text.substr(0, text.find('@'));
  if (text == "(Parameters " || text == "(No ") text.clear();
  return text.empty() ? "(No Parameters)" : text;
}

/// Connects, checks and prints the result of the one system of a single-profile run.
int RunOneSystem(Run &run, SystemValues &system) {
  Platform &os = run.os;
  run.rfc.log().Write(0, "program started", run.program);
  ErrorHandlerScope handler(run.rfc);
  run.rfc.log().Write(0, "RfcEnvironment called", "");

  if (run.console) {
    const std::string time = TimeOfDay(os);
    os.WriteStdout(run.banner + "\n");
    os.WriteStdout(SystemLine(system, time, run.profile.name) + " State=Processing\n");
    os.WriteStdout("* " + time + " " + std::string(kProgramName) + " - " +
                   ParameterDisplayText(run.options.text) + " State=Executing\n");
  }

  const ConnectionParameters &connection = system.connection;
  const RFC_HANDLE handle = OpenConnection(run.rfc, connection, run.options.overrides);
  if (handle == 0)
    EndWithErrorDocument(os, "Error 1011: RFC-Open for " + connection.destination + " failed !");

  const CheckResult<IndexCounts> indices =
      CheckConnectedSystem(run.rfc, handle, system.display_host);
  if (!indices.found) {
    ReportCheckFailure(os, indices.failure.text);
    return kExitError;
  }

  ResultDocument document(run.mode, run.options.selected_channel);
  document.BeginDocument();
  document.BeginText();
  document.AddText("(" + connection.destination + ") Indices: Not_Defined=" +
                   GroupThousands(std::to_string(indices.found->not_defined)) +
                   ", Missing_Indices=" + GroupThousands(std::to_string(indices.found->missing)));
  document.EndText();
  document.AddChannel(kNotDefinedChannel, std::to_string(indices.found->not_defined), "");
  document.AddChannel(kMissingChannel, std::to_string(indices.found->missing), "");
  document.EndDocument();
  os.WriteStdout(document.Take());
  // A run that succeeded leaves no trace of earlier failures behind.
  os.RemoveFile(std::string(kTraceFile));
  if (run.console) os.WriteStdout(EndLine(os));
  return kExitDone;
}

/// Reads and checks the profile, binds the library and runs the profile's system.
int SingleProfileRun(Run &run, TextSource &profile_text) {
  SystemValues system;
  const ProfileReadResult read =
      ReadProfile(profile_text, kSingleProfilePiece, ProfileReading::StopAtFault, run.profile.name,
                  system.connection, system.display_host);
  if (!read.valid) EndWithErrorDocument(run.os, read.first_fault);
  const std::string fault = CheckProfile(system.connection, run.profile.name);
  if (!fault.empty()) EndWithErrorDocument(run.os, fault);

  run.rfc.Bind();
  if (run.options.syslog) run.rfc.OpenLog(run.profile.directory);
  return RunOneSystem(run, system);
}

} // namespace

CheckResult<IndexCounts> CheckConnectedSystem(RfcSession &rfc, RFC_HANDLE handle,
                                              std::string &display_host, const CountsHeard &heard) {
  const CheckResult<SystemInfo> info = ReadSystemInfo(rfc, handle);
  if (!info.found) {
    ReportCheckFailure(rfc.os(), info.failure.text);
    rfc.Close(handle);
    throw RunEnded{kExitError};
  }
  display_host = info.found->host;
  if (!IsOracle(info.found->database_system)) {
    rfc.os().WriteStdout(ErrorDocument(kDatabaseMismatch));
    rfc.Close(handle);
    throw RunEnded{kExitError};
  }
  CheckResult<IndexCounts> indices = CheckMissingIndices(rfc, handle, heard);
  rfc.Close(handle);
  return indices;
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

int RunSensor(Platform &os, RfcBinder bind, std::vector<std::string> arguments) {
  Run run(os, std::move(bind));
  try {
    std::unique_ptr<TextSource> profile = StartUp(run, arguments);
    if (run.global_listing) return GlobalListingRun(run);
    return SingleProfileRun(run, *profile);
  } catch (const RunEnded &ended) {
    return ended.exit_code;
  }
}

} // namespace kestrovan
