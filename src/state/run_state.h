// The run's process-wide values, held in one record that every operation receives.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "profile/profile.h"

using kestrovan::ConnectionParameters;
#include "rfcapi/rfc_api.h"

struct RfcLibrary;

/// The output flavours: the monitoring host's XML and four front ends of the product family.
/// EXEXML, Pellith and Vintrel write identical bytes.
enum class OutputMode { EXEXML, Vintrel, Pellith, Halcrest, Morvane };

/// The texts an open hands to the RFC library. They live as long as the run, because the
/// options record points into them while the library may still hold it.
struct RfcOpenCopies {
  std::string destination, client, user, password, language, mode, hostname, sysnr, gwhost,
      gwservice;
  RFC_CONNOPT_R3 server{};
  RFC_CONNOPT_CPIC gateway{};
  RFC_OPTIONS options{};
};

/// Type handles of the structures installed with the library, once per process.
struct RfcStructureHandles {
  RFC_TYPEHANDLE rfcsi = 0;
  RFC_TYPEHANDLE date_time = 0;
  RFC_TYPEHANDLE ora_miss = 0;
};

/// How a global listing run names the channel of each system.
enum class EntryKind { Profile, Alias, Host, Sid };

/// Thrown wherever the run ends; only main turns it into the process's exit code, so a whole
/// run can be driven in-process by a test.
struct RunEnded {
  int exit_code;
};

/// Finds the RFC library a run talks through; null, with the reason in *problem, when none
/// can be used.
using RfcBinder = std::function<const RfcLibrary *(std::string *problem)>;

struct RunState {
  explicit RunState(Platform &platform) : os(platform) {}

  Platform &os;
  const RfcLibrary *rfc = nullptr; // bound when the run first needs the library
  RfcBinder BindRfc;

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

  // RFC connection layer.
  RfcOpenCopies OpenCopies;
  RFC_ENV Environment{};
  RfcStructureHandles StructureHandles;
  bool RfcErrorReported = false; // the library's error handler has printed its block

  // Global listing values.
  std::string ServerListing;
  EntryKind Kind = EntryKind::Profile;
  std::string OptionText;
  std::string SystemChannelName;

  // The log: open only when the run asked for it with ",SYSLOG".
  std::unique_ptr<AppendFile> LogStream;
};
