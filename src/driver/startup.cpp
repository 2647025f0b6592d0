// Start-up: the command line, the flavour switches and the search for the profile, up to the
// open profile of a single-profile run or the listing file of a global one.
#include "driver/startup.h"

#include "output/log_lines.h"

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

} // namespace kestrovan
