// The sensor's session with the RFC library: the bound library, every call into it within the
// run's deadline, and the error handler with the record it keeps.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/platform.h"
#include "session/library_thread.h"
#include "rfcapi/rfc_library.h"
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

/// The texts an open hands to the library, and the options record pointing into them. The
/// session keeps the record of its latest open, because the library may still hold it, and the
/// open's call keeps it while it runs.
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

/// The handler the library calls: records the library's last error for the operation running on
/// this thread, when its session's handler scope is open, and closes every connection, then
/// returns, so the library's own frames are never unwound.
extern "C" void RFC_CALL RfcErrorHandler(char *operation);

/// What the error handler reports to: one library operation, on the thread that runs it.
struct HandlerRecord {
  const RfcLibrary *library = nullptr;
  bool reports = false; // the session's handler scope was open when the operation began
  std::optional<RfcAbort> record;
};

// Which thread runs what, and what ends each wait:
//
// - The remote operations (RfcEnvironment, RfcOpen, RfcOpenEx, RfcCall, RfcReceive, RfcClose,
//   RfcLastError) run on the session's one LibraryThread. A system's open, checks and close go
//   there as one piece of work (OnLibraryThread), which makes them one after the other and tells
//   the run's thread which step it is in; a call made by the run's thread itself goes there
//   alone. The run's thread waits until the running step's own limit, which the library names
//   (StepLimit: the NetWeaver binding's NwRfcLimits.ini; none for the classic libraries, whose
//   RfcStandin.ini or built-in limits end their calls from inside), never beyond the run's
//   deadline. At the step's limit it tells the library (Overrun: the binding cancels the call
//   with RfcCancel where the library has it, and fails an open that comes back late), looks
//   again every kOverrunGrace, and leaves the step at the run's deadline: the session then stops
//   with RfcDeadline. A step that begins with an end before the one the run's thread sleeps to
//   wakes it (Nudger); otherwise a system costs one hand-off and one wake-up back.
// - The local operations (ItCreate, ItFill, ItGetLine, ItDelete, RfcInstallStructure) wait for
//   no partner and run on the thread of the work that needs them, while the other one waits. The
//   error block's RfcLastError and RfcClose(0) run on the thread of the operation that failed.
// - No other thread calls the library: a NetWeaver call involves the run's thread and the
//   library's, nothing else.
// - Everything a remote operation writes (parameter and table lists, values, connect text, error
//   records, the error handler's record, its result) lives in a block the call owns; the
//   caller's buffers get the values only from a call that came back in time. A piece of work's
//   own frames are on the library's thread, and after a step it was left in, none of its calls
//   reaches the library or anything of the run's thread again.

/// How often the run's thread tells the library again that a step has outrun its limit, while it
/// waits for the step to come back.
inline constexpr std::chrono::milliseconds kOverrunGrace{100};

/// Every call of the sensor into the library goes through here. Once the library's error handler
/// ran, a library operation failed or the deadline passed, the session stops: stopped() says why,
/// and every later call returns a failure without reaching the library. The run is ended from the
/// sensor's own frames, never by unwinding through the library's: a library built by another
/// compiler (SAP's own DLL) cannot pass C++ exceptions. The session belongs to the run's thread.
///
/// A piece of work with several calls (a system's open, checks and close) can be handed to the
/// library's thread whole (OnLibraryThread): it is given a session of its own over the same state
/// that makes its calls there directly, each within its step's limit and the run's deadline, and
/// tells the run's thread which step it is in. The run's thread waits for the whole piece, as for
/// one call, and leaves it only while it is inside a library step: between steps the work may
/// touch what the run's thread has (it waits meanwhile), and after a step it was left in, every
/// call of the work fails at once, so the work never reaches what the run's thread has again.
class RfcSession {
public:
  RfcSession(Platform &os, RfcBinder binder);
  /// A session over a library at hand.
  RfcSession(Platform &os, const RfcLibrary *library);
  ~RfcSession();
  RfcSession(const RfcSession &) = delete;
  RfcSession &operator=(const RfcSession &) = delete;

  /// Binds the library unless it is bound already. It is bound after start-up and the profile
  /// checks, so that their errors come first. Returns the problem, naming the library and what it
  /// lacks, when none can be used.
  std::optional<std::string> Bind();

  /// The moment by which every call must have come back; later calls are not made.
  void SetDeadline(RunClock::time_point deadline);

  /// Runs work(session) on the library's thread in one hand-off, as described above; work must
  /// own what it still touches after a step it was left in. False when the run's time ran out
  /// while it was inside a step: it was left there, and the session stopped with RfcDeadline
  /// naming the step.
  bool OnLibraryThread(std::function<void(RfcSession &)> work);

  /// Opens from the options record in texts, which points into texts.
  RFC_HANDLE Open(std::shared_ptr<RfcOpenTexts> texts);
  RFC_HANDLE OpenEx(std::string connect_text);
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

  /// The last error text of the library's trace file (ReadTraceDetail); none for a piece of work
  /// after a step it was left in, which reads nothing of the run's any more.
  std::optional<std::string> TraceDetail();

  /// Why the session stopped, once it has.
  const std::optional<RfcStop> &stopped() const;
  /// A call was left running at the deadline: the process must end without waiting for it.
  bool call_left_running() const { return thread_.abandoned(); }

  /// Opens the log in the profile's directory; a run does so once, when it asked for the log.
  void OpenLog(const std::string &profile_directory);
  RunLog &log();
  Platform &os();

private:
  friend class ErrorHandlerScope;
  struct State;
  struct Job;

  /// The session a piece of work handed over whole makes its calls through.
  RfcSession(std::shared_ptr<State> state, bool handler_reports, Job *job);

  /// Runs one library operation; failed is what the caller sees when the session has stopped or
  /// stops now. The operation runs on the library's thread: it must own everything it touches,
  /// and answered(result) takes what it wrote back into the caller's buffers only when it came
  /// back in time. A call of the run's thread goes there as a piece of work of one step.
  template <typename Result, typename Operation, typename Answered>
  Result Guarded(std::string_view step, RfcWait wait, RFC_HANDLE handle, Result failed,
                 Operation operation, Answered answered);
  /// When the step about to start must end: its own limit, never beyond the run's deadline.
  RunClock::time_point StepEnd(RfcWait wait, RFC_HANDLE handle) const;
  /// Waits for a piece of work handed over whole, by the step it tells: until the step's limit,
  /// then telling the library, then until the run's deadline; false when it was left.
  bool AwaitJob(Job &job);
  /// Leaves what runs on the library's thread: the session stops for good with the step.
  void LeaveWith(std::string step);
  /// Runs one of the library's local operations (internal tables, structure installation) on
  /// the calling thread: they wait for no partner, and a count of a million lines must not cross
  /// threads twice a line. The library's thread is idle meanwhile.
  template <typename Result, typename Operation> Result Local(Result failed, Operation operation);
  /// A record the error handler left during an operation stops the session.
  bool StoppedByHandler(HandlerRecord &handler);
  /// Once something was left on the library's thread, the run's thread keeps off the state.
  bool Left() const { return thread_.abandoned(); }

  /// What the session's calls work on: the run's thread has it, or, while a piece of work runs
  /// on the library's thread, that thread; a piece that was left keeps it alive.
  std::shared_ptr<State> state_;
  RfcBinder binder_;
  bool handler_reports_ = false; // a handler scope is open
  Job *job_ = nullptr;           // the piece of work this session makes the calls of
  bool work_left_ = false;       // that work was left in one of its steps
  std::optional<RfcStop> left_stop_;
  RunLog left_log_; // what the log is once something was left: closed
  LibraryThread thread_;
};

/// Installs the error handler with the library (RfcEnvironment) at the session's first scope; the
/// handler reports to that session until the scope ends, and to nobody after. A handler that ran
/// already during the installation has stopped the session.
class ErrorHandlerScope {
public:
  explicit ErrorHandlerScope(RfcSession &session);
  ~ErrorHandlerScope();
  ErrorHandlerScope(const ErrorHandlerScope &) = delete;
  ErrorHandlerScope &operator=(const ErrorHandlerScope &) = delete;

private:
  RfcSession &session_;
  bool previous_;
};

} // namespace kestrovan
