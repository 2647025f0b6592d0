// Start-up of the sensor: everything from the command line to the open profile.
#include "driver/startup.h"

#include "output/error_ending.h"
#include "output/log_lines.h"
#include "output/option_text.h"
#include "platform/text_pieces.h"

namespace {

constexpr std::string_view kDefaultExtension = ".P00";
constexpr std::string_view kHostSensorDirectory = "PRTG Network Monitor\\Custom Sensors\\ExeXml\\";
constexpr std::string_view kSensorDirectory = "Custom Sensors\\ExeXml\\";
constexpr std::string_view kBuiltInDirectories[] = {
    "",
    "\\Programme\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\",
    "\\Program Files\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\",
    "\\Program Files (x86)\\PRTG Network Monitor\\Custom Sensors\\ExeXml\\",
};
constexpr std::string_view kDirectoryTestName = "EXEXML";

[[noreturn]] void ProfileMissing(RunState &state, const std::string &path) {
  EndWithErrorDocument(state, "Error 1002: Profile " + path + " is missing...");
}

bool CanOpen(RunState &state, const std::string &path) {
  return state.os.ReadText(path).has_value();
}

/// A line of the installation-directory file names a directory when it starts like a path.
bool LooksLikeDirectory(const std::string &line) {
  return (!line.empty() && line[0] == '\\') || (line.size() > 2 && line[2] == '\\') ||
         (line.size() > 1 && line[1] == ':');
}

/// Finds the directory of the monitoring host's custom sensors that holds the profile.
void SearchSensorDirectory(RunState &state) {
  state.ProfileDirectory.clear();
  if (auto install_list = state.os.ReadText(std::string(kInstallPathFile))) {
    TextPieces pieces(*install_list);
    std::string line;
    while (pieces.Next(kInstallPathPiece, &line)) {
      StripLineFeed(&line);
      if (LooksLikeDirectory(line)) state.ProfileDirectory = line;
    }
    if (state.ProfileDirectory.empty() || state.ProfileDirectory.back() != '\\')
      state.ProfileDirectory += '\\';
    if (CanOpen(state,
                state.ProfileDirectory + std::string(kHostSensorDirectory) + state.ProfileName))
      state.ProfileDirectory += kHostSensorDirectory;
    if (CanOpen(state, state.ProfileDirectory + std::string(kSensorDirectory) + state.ProfileName))
      state.ProfileDirectory += kSensorDirectory;
    if (!CanOpen(state, state.ProfileDirectory + state.ProfileName))
      ProfileMissing(state, state.ProfileName);
  } else {
    bool found = false;
    for (std::string_view directory : kBuiltInDirectories) {
      if (CanOpen(state, std::string(directory) + state.ProfileName)) {
        state.ProfileDirectory = directory;
        found = true;
        break;
      }
    }
    if (!found) ProfileMissing(state, state.ProfileName);
  }

  // Only a profile below a folder named ExeXml is one the monitoring host placed.
  const std::string &dir = state.ProfileDirectory;
  if (dir.size() < kDirectoryTestName.size() + 1 ||
      UpperAscii(dir.substr(dir.size() - 1 - kDirectoryTestName.size(),
                            kDirectoryTestName.size())) != kDirectoryTestName)
    EndWithErrorDocument(state, "Sorry, invalid Path-Usage...");
}

} // namespace

std::string ItemNameFrom(std::string_view text) {
  std::string item(text.substr(0, text.find_first_of(" ,")));
  item = item.substr(0, kItemNameWidth);
  for (char &c : item) {
    if (c == ':') c = ' ';
  }
  return item;
}

StartupResult StartUp(RunState &state) {
  state.StartTime = FormatTimeOfDay(state.os.Now());
  state.BannerLine = "* " + state.StartTime + " SAP " + std::string(kProgramName) + " " +
                     std::string(kVersionText);

  const std::vector<std::string> &args = state.arguments;
  if (args.size() < 2)
    EndWithErrorDocument(state, "Error 1001: Parameter for Profile-Name is missing !");

  state.ProfileName = args[1];
  std::string parameters = args.size() > 2 ? args[2] : "";
  if (args.size() > 3) parameters += " " + args[3];
  SetParameterString(state, std::move(parameters));

  if (HasOption(state, "ITEM=")) {
    state.GlobalListing = true;
    constexpr std::string_view keyword = "ITEM=";
    state.ItemName = ItemNameFrom(std::string_view(state.ParameterString)
                                      .substr(FindOption(state, keyword) + keyword.size()));
    state.ProfileName = kItemRouteFile;
  }

  const std::string &name = state.ProfileName;
  if (name.size() < kDefaultExtension.size() || name[name.size() - kDefaultExtension.size()] != '.')
    state.ProfileName += kDefaultExtension;

  state.Connection = {};
  state.Mode = OutputMode::EXEXML;
  state.ConsoleMode = state.ParameterString.find_first_of("#@$%") != std::string::npos;

  const std::size_t last_backslash = state.ProfileName.find_last_of('\\');
  if (last_backslash != std::string::npos && last_backslash > 0) {
    state.ProfileDirectory = state.ProfileName.substr(0, last_backslash + 1);
    state.ProfileName.erase(0, last_backslash + 1);
  } else {
    state.ProfileDirectory.clear();
  }

  if (UpperAscii(state.ProfileName) == "GLOBAL.P00") {
    state.GlobalListing = true;
    state.ProfileName = kGlobalListingFile;
  }
  state.ProfilePath = state.ProfileDirectory + state.ProfileName;

  for (const FrontEndSwitch &front_end : kFrontEndSwitches) {
    if (CanOpen(state, std::string(front_end.file))) state.Mode = front_end.mode;
  }

  std::optional<std::string> profile;
  if (state.Mode != OutputMode::EXEXML || HasOption(state, "@")) {
    profile = state.os.ReadText(state.ProfilePath);
    if (!profile) ProfileMissing(state, state.ProfilePath);
  } else {
    SearchSensorDirectory(state);
    state.ProfilePath = state.ProfileDirectory + state.ProfileName;
    profile = state.os.ReadText(state.ProfilePath);
    if (!profile) ProfileMissing(state, state.ProfileName);
  }
  return StartupResult{state.GlobalListing ? std::string() : std::move(*profile)};
}
