// The sensor's session with the RFC library: the bound library, every call into it within the
// run's deadline, and the error handler with the record it keeps.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/platform.h"
#include "rfc/library_thread.h"
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

/// The texts an open hands to the library. They live as long as the session, because the
/// options record points into them while the library may still hold it.
struct RfcOpenTexts {
  std::string destination, client, user, password, language, mode, hostname, sysnr, gwhost,
      gwservice;
  RFC_CONNOPT_R3 server{};
  RFC_CONNOPT_CPIC gateway{};
  RFC_OPTIONS options{};
};

/// What the library's error handler recorded, or the sensor for a library operation it found
/// failed: the run ends with the library's error block (exit code 1). The texts are the fields
/// of the library's last error, each up to its first zero byte.
struct RfcAbort {
  std::string operation;
  std::string key, status, message, internal_status;
};

/// A library call that had not come back when the run's time was up; step names what the run
/// was waiting for ("the logon", a function module, "the close").
struct RfcDeadline {
  std::string step;
};

/// Why a session takes no further calls.
using RfcStop = std::variant<RfcAbort, RfcDeadline>;

/// The handler the library calls: records the library's last error for the session in scope and
/// closes every connection, then returns, so the library's own frames are never unwound.
extern "C" void RFC_CALL RfcErrorHandler(char *operation);

/// Every call of the sensor into the library goes through here: those that wait for a partner on
/// the library's own thread and within the run's deadline, the local ones directly. Once the
/// library's error handler ran, a library operation failed or the deadline passed, the session
/// stops: stopped() says why, and every later call returns a failure without reaching the library.
/// The run is ended from the sensor's own frames, never by unwinding through the library's: a
/// library built by another compiler (SAP's own DLL) cannot pass C++ exceptions.
class RfcSession {
public:
  RfcSession(Platform &os, RfcBinder binder) : os_(os), binder_(std::move(binder)) {}
  /// A session over a library at hand.
  RfcSession(Platform &os, const RfcLibrary *library) : os_(os), library_(library) {}
  RfcSession(const RfcSession &) = delete;
  RfcSession &operator=(const RfcSession &) = delete;

  /// Binds the library unless it is bound already. It is bound after start-up and the profile
  /// checks, so that their errors come first. Returns the problem, naming the library and what it
  /// lacks, when none can be used.
  std::optional<std::string> Bind();

  /// The moment by which every call must have come back; later calls are not made.
  void SetDeadline(RunClock::time_point deadline) { deadline_ = deadline; }

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
  /// kept for the whole process, as the library keeps it; 0 when the installation failed.
  RFC_TYPEHANDLE Structure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count);

  /// The key of the library's last error (RfcLastError); empty once the session has stopped.
  std::string LastErrorKey();

  /// A library operation the sensor found failed: the session records the library's last error
  /// for the block, closes every connection and stops.
  void Abort(std::string_view operation);

  /// Why the session stopped, once it has.
  const std::optional<RfcStop> &stopped() const { return stopped_; }
  /// A call was left running at the deadline: the process must end without waiting for it.
  bool call_left_running() const { return thread_.abandoned(); }

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

  /// Runs one library operation on the library's thread; failed is what the caller sees when the
  /// session has stopped or stops now.
  template <typename Result, typename Operation>
  Result Guarded(std::string_view step, Result failed, Operation operation);
  /// Runs one of the library's local operations (internal tables, structure installation) on
  /// the calling thread: they wait for no partner, and a count of a million lines must not cross
  /// threads twice a line. The library's thread is idle meanwhile.
  template <typename Result, typename Operation> Result Local(Result failed, Operation operation);
  /// A record the error handler left during the last operation stops the session.
  bool StoppedByHandler();
  /// The library's last error as the block shows it; closes every connection. Runs on the thread
  /// of the operation that failed.
  RfcAbort RecordAbort(std::string_view operation);

  Platform &os_;
  RfcBinder binder_;
  const RfcLibrary *library_ = nullptr;
  RFC_ENV environment_{};
  std::map<std::string, RFC_TYPEHANDLE, std::less<>> structures_;
  RfcOpenTexts open_texts_;
  std::string last_function_; // the function module a Receive answers
  RunClock::time_point deadline_ = RunClock::time_point::max();
  std::optional<RfcAbort> handler_record_; // written by the handler on the library's thread
  std::optional<RfcStop> stopped_;
  RunLog log_;
  LibraryThread thread_;
};

/// Installs the error handler with the library (RfcEnvironment) for one session; the handler
/// reports to that session until the scope ends, and to nobody after. A handler that ran already
/// during the installation has stopped the session.
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
