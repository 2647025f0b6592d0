// The sensor's session with the RFC library: the bound library, every call into it, the error
// handler and the error block it prints.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "rfc/rfc_library.h"
#include "rfcapi/rfc_api.h"

namespace kestrovan {

/// Finds the RFC library a run talks through; null, with the reason in *problem, when none can
/// be used.
using RfcBinder = std::function<const RfcLibrary *(std::string *problem)>;

/// The log written when ",SYSLOG" is among the options: this file, appended to, in the
/// directory where the profile was found.
inline constexpr std::string_view kLogFileName = "Kestrovan.Log";

/// The log of the session's library events; closed unless the run asked for it.
class RunLog {
public:
  RunLog() = default;
  /// Opens the log in the profile's directory; one that cannot be opened is silently skipped.
  static RunLog Open(Platform &os, const std::string &profile_directory);

  /// Writes "handle event detail" when the log is open.
  void Write(std::uint32_t handle, std::string_view event, std::string_view detail);

private:
  std::unique_ptr<AppendFile> file_;
};

/// Width the error block pads its labels to.
inline constexpr int kErrorLabelWidth = 15;

/// The texts an open hands to the library. They live as long as the session, because the
/// options record points into them while the library may still hold it.
struct RfcOpenTexts {
  std::string destination, client, user, password, language, mode, hostname, sysnr, gwhost,
      gwservice;
  RFC_CONNOPT_R3 server{};
  RFC_CONNOPT_CPIC gateway{};
  RFC_OPTIONS options{};
};

/// The handler the library calls: prints the block for the session in scope and returns, so the
/// library's own frames are never unwound; the run ends as soon as the library call returns.
extern "C" void RFC_CALL RfcErrorHandler(char *operation);

/// Every call of the sensor into the library goes through here: when the library reported an
/// error to the installed handler during a call, the run ends with exit code 1 as soon as the
/// call returns. The run ends from the sensor's own frames, never by unwinding through the
/// library's: a library built by another compiler (SAP's own DLL) cannot pass C++ exceptions.
class RfcSession {
public:
  RfcSession(Platform &os, RfcBinder binder) : os_(os), binder_(std::move(binder)) {}
  /// A session over a library at hand.
  RfcSession(Platform &os, const RfcLibrary *library) : os_(os), library_(library) {}
  RfcSession(const RfcSession &) = delete;
  RfcSession &operator=(const RfcSession &) = delete;

  /// Binds the library unless it is bound already. It is bound after start-up and the profile
  /// checks, so that their errors come first; when none can be used, the run ends with an error
  /// document naming the library and what it lacks.
  void Bind();

  RFC_HANDLE Open(RFC_OPTIONS *options);
  RFC_HANDLE OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info);
  RFC_RC Call(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting, RFC_TABLE *tables);
  RFC_RC Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception);
  ITAB_H ItCreate(const char *name, unsigned line_length);
  unsigned ItFill(ITAB_H table);
  void *ItGetLine(ITAB_H table, unsigned line);
  int ItDelete(ITAB_H table);
  void Close(RFC_HANDLE handle);

  /// The type handle of a dictionary structure, installed with the library at its first use and
  /// kept for the whole process, as the library keeps it.
  RFC_TYPEHANDLE Structure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count);

  /// The block for a failure the sensor found in a library operation itself; ends the run with 1.
  [[noreturn]] void AbortOnRfcError(std::string_view operation);

  /// Opens the log in the profile's directory; a run does so once, when it asked for the log.
  void OpenLog(const std::string &profile_directory) {
    log_ = RunLog::Open(os_, profile_directory);
  }
  RunLog &log() { return log_; }
  RfcOpenTexts &open_texts() { return open_texts_; }
  Platform &os() { return os_; }

private:
  friend class ErrorHandlerScope;
  friend void RFC_CALL RfcErrorHandler(char *operation);

  /// Prints the library's error block for the failed operation and closes every connection.
  void PrintErrorBlock(std::string_view operation);
  /// Ends the run (exit code 1) when the error handler ran during the last call.
  void EndIfHandlerRan();
  template <typename Result> Result Checked(Result result) {
    EndIfHandlerRan();
    return result;
  }

  Platform &os_;
  RfcBinder binder_;
  const RfcLibrary *library_ = nullptr;
  RFC_ENV environment_{};
  std::map<std::string, RFC_TYPEHANDLE, std::less<>> structures_;
  RfcOpenTexts open_texts_;
  bool error_reported_ = false; // the handler has printed its block
  RunLog log_;
};

/// Installs the error handler with the library (RfcEnvironment) for one session; the handler
/// reports to that session until the scope ends, and to nobody after.
class ErrorHandlerScope {
public:
  explicit ErrorHandlerScope(RfcSession &session);
  ~ErrorHandlerScope();
  ErrorHandlerScope(const ErrorHandlerScope &) = delete;
  ErrorHandlerScope &operator=(const ErrorHandlerScope &) = delete;

private:
  RfcSession *previous_;
};

} // namespace kestrovan
