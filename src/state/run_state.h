// The run's process-wide values, held in one record that every operation receives.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

struct RfcLibrary;

/// The eleven text values of a profile.
struct ConnectionParameters {
  std::string extcompany;
  std::string destination;
  std::string client;
  std::string user;
  std::string password;
  std::string language;
  std::string mode;
  std::string hostname;
  std::string sysnr;
  std::string gwhost;
  std::string gwservice;
};

/// The output flavours: the monitoring host's XML and four front ends of the product family.
/// EXEXML, Pellith and Vintrel write identical bytes.
enum class OutputMode { EXEXML, Vintrel, Pellith, Halcrest, Morvane };

/// How a global listing run names the channel of each system.
enum class EntryKind { Profile, Alias, Host, Sid };

/// Thrown wherever the run ends; only main turns it into the process's exit code, so a whole
/// run can be driven in-process by a test.
struct RunEnded {
  int exit_code;
};

struct RunState {
  explicit RunState(Platform &platform) : os(platform) {}

  Platform &os;
  const RfcLibrary *rfc = nullptr;

  // Start-up values.
  std::vector<std::string> arguments; // the command line, the program's own path first
  std::string StartTime;              // hh:mm:ss of the start, also shown in BannerLine
  std::string BannerLine;
  std::string ProfileName;
  std::string ProfileDirectory;
  std::string ProfilePath;
  std::string ParameterString;      // as typed: option values are taken from here
  std::string ParameterStringUpper; // letters a-z raised: option keywords are searched here
  std::string ItemName;
  bool GlobalListing = false;
  bool ConsoleMode = false;
  OutputMode Mode = OutputMode::EXEXML;

  // The profile being worked on.
  ConnectionParameters Connection;
  std::string DisplayHost;

  // Results.
  std::string ResultDocument;
  int ChannelCount = 0;
  std::string RunStatus = "ERR";
  std::string DatabaseSystem;

  // Global listing values.
  std::string ServerListing;
  EntryKind Kind = EntryKind::Profile;
  std::string OptionText;
  std::string SystemChannelName;

  // The log: open only when the run asked for it with ",SYSLOG".
  std::unique_ptr<AppendFile> LogStream;
};
