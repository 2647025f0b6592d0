// Calls into the RFC library on its own thread within the run's deadline, and the error handler's
// registration and record.
#include "session/rfc_session.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "session/call_lists.h"
#include "session/error_report.h"

namespace kestrovan {

namespace {

/// The record of the operation running on this thread. The library's error handler carries no
/// context of its own; each thread that calls the library sets this around every operation, so
/// the handler writes only into the block of the operation that called it.
thread_local HandlerRecord *t_handler_record = nullptr;

/// Sets this thread's handler record for the duration of one library operation.
class RecordScope {
public:
  explicit RecordScope(HandlerRecord &record) : previous_(t_handler_record) {
    t_handler_record = &record;
  }
  ~RecordScope() { t_handler_record = previous_; }
  RecordScope(const RecordScope &) = delete;
  RecordScope &operator=(const RecordScope &) = delete;

private:
  HandlerRecord *previous_;
};

/// The record the library is given for its error handler; the library may keep its address.
RFC_ENV g_environment{RfcErrorHandler, nullptr};

/// A text field of the error record, never read past its end even without a terminator.
std::string Field(const char *text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

/// The library's last error as the block shows it; closes every connection. Runs on the thread
/// of the operation that failed.
RfcAbort RecordAbort(const RfcLibrary *library, std::string_view operation) {
  RFC_ERROR_INFO info;
  std::memset(&info, 0, sizeof info);
  if (library) {
    library->LastError(&info);
  }
  RfcAbort abort{std::string(operation), Field(info.key, sizeof info.key),
                 Field(info.status, sizeof info.status), Field(info.message, sizeof info.message),
                 Field(info.intstat, sizeof info.intstat)};
  if (library) {
    library->Close(0);
  }
  return abort;
}

constexpr std::string_view kLogonStep = "the logon";
constexpr std::string_view kCloseStep = "the close";

/// The blocks of a call and of a receive.
struct CallOwned {
  CallOwned(const char *name, const RFC_PARAMETER *exporting_list, const RFC_TABLE *table_list)
      : function(name), exporting(exporting_list), tables(table_list) {}
  std::string function;
  ParameterCopy exporting;
  TableCopy tables;
};
struct ReceiveOwned {
  ReceiveOwned(const RFC_PARAMETER *importing_list, const RFC_TABLE *table_list)
      : importing(importing_list), tables(table_list) {}
  ParameterCopy importing;
  TableCopy tables;
  char *exception = nullptr;
};
struct OpenExOwned {
  std::string connect_text;
  RFC_ERROR_INFO_EX error_info{};
};

} // namespace

RunLog RunLog::Open(Platform &os, const std::string &profile_directory) {
  RunLog log;
  log.file_ = os.OpenAppend(profile_directory + std::string(kLogFileName));
  return log;
}

void RunLog::Write(std::uint32_t handle, std::string_view event, std::string_view detail) {
  if (!file_) {
    return;
  }
  std::string line = std::to_string(static_cast<std::int32_t>(handle));
  line += ' ';
  line += event;
  line += ' ';
  line += detail;
  line += '\n';
  file_->Write(line);
}

/// What the session's calls work on. One thread at a time has it: the run's, or the library's
/// while a piece of work handed over whole runs there.
struct RfcSession::State {
  explicit State(Platform &platform) : os(platform) {}
  Platform &os;
  const RfcLibrary *library = nullptr;
  std::map<std::string, RFC_TYPEHANDLE, std::less<>> structures;
  std::shared_ptr<const void> latest_open; // the options record the library may still hold
  std::shared_ptr<const void> latest_call; // the lists of the call whose reply is due
  std::string last_function;               // the function module a Receive answers
  RunClock::time_point deadline = RunClock::time_point::max();
  bool handler_installed = false; // RfcEnvironment was called
  std::optional<RfcStop> stopped;
  RunLog log;
};

/// A piece of work handed over whole: the session it calls through, and the step it is in, which
/// the run's thread reads to know how long to wait and what to name when it leaves the work.
struct RfcSession::Job {
  Job(std::shared_ptr<State> state, bool handler_reports, std::function<void()> nudger)
      : session(state, handler_reports, this), nudge(std::move(nudger)),
        waiter_until(state->deadline) {}

  /// A step begins: the run's thread is nudged when it sleeps past the step's end.
  void BeginStep(std::string_view name, RfcWait step_wait, RFC_HANDLE step_handle,
                 RunClock::time_point end) {
    bool early = false;
    {
      const std::lock_guard lock(mutex);
      in_step = true;
      step.assign(name);
      wait = step_wait;
      handle = step_handle;
      step_end = end;
      early = waiter_until > end;
    }
    if (early) {
      nudge();
    }
  }
  /// The step came back; true when the run's thread left the work in it.
  bool EndStep() {
    const std::lock_guard lock(mutex);
    in_step = false;
    return left;
  }

  RfcSession session;
  std::function<void()> nudge;
  std::mutex mutex;
  // Under mutex:
  bool in_step = false;
  std::string step;
  RfcWait wait = RfcWait::Other;
  RFC_HANDLE handle = 0;
  RunClock::time_point step_end = RunClock::time_point::max();
  RunClock::time_point waiter_until; // what the run's thread sleeps to: first the deadline
  bool left = false;
};

RfcSession::RfcSession(Platform &os, RfcBinder binder)
    : state_(std::make_shared<State>(os)), binder_(std::move(binder)) {}

RfcSession::RfcSession(Platform &os, const RfcLibrary *library)
    : state_(std::make_shared<State>(os)) {
  state_->library = library;
}

RfcSession::RfcSession(std::shared_ptr<State> state, bool handler_reports, Job *job)
    : state_(std::move(state)), handler_reports_(handler_reports), job_(job) {}

RfcSession::~RfcSession() = default;

std::optional<std::string> RfcSession::Bind() {
  if (Left() || state_->library) {
    return std::nullopt;
  }
  std::string problem = "no RFC library is configured...";
  if (binder_) {
    state_->library = binder_(&problem);
  }
  if (!state_->library) {
    return problem;
  }
  return std::nullopt;
}

void RfcSession::SetDeadline(RunClock::time_point deadline) {
  if (!Left()) {
    state_->deadline = deadline;
  }
}

const std::optional<RfcStop> &RfcSession::stopped() const {
  return Left() ? left_stop_ : state_->stopped;
}

void RfcSession::OpenLog(const std::string &profile_directory) {
  if (!Left()) {
    state_->log = RunLog::Open(state_->os, profile_directory);
  }
}

RunLog &RfcSession::log() { return Left() ? left_log_ : state_->log; }

Platform &RfcSession::os() { return state_->os; }

std::optional<std::string> RfcSession::TraceDetail() {
  if (work_left_) {
    return std::nullopt;
  }
  return ReadTraceDetail(state_->os);
}

void RfcSession::LeaveWith(std::string step) {
  thread_.Leave();
  left_stop_ = RfcDeadline{std::move(step)};
}

RunClock::time_point RfcSession::StepEnd(RfcWait wait, RFC_HANDLE handle) const {
  const State &state = *state_;
  const RunClock::time_point now = RunClock::now();
  if (state.library->StepLimit) {
    const long long limit = state.library->StepLimit(wait, handle);
    if (limit >= 0 && std::chrono::milliseconds(limit) < state.deadline - now) {
      return now + std::chrono::milliseconds(limit);
    }
  }
  return state.deadline;
}

template <typename Result, typename Operation, typename Answered>
Result RfcSession::Guarded(std::string_view step, RfcWait wait, RFC_HANDLE handle, Result failed,
                           Operation operation, Answered answered) {
  if (Left()) {
    return failed;
  }
  State &state = *state_;
  if (state.stopped) {
    return failed;
  }
  if (RunClock::now() >= state.deadline) {
    state.stopped = RfcDeadline{std::string(step)};
    return failed;
  }
  if (job_) {
    // The step's limit is asked for while no call runs.
    const RunClock::time_point step_end = StepEnd(wait, handle);
    HandlerRecord handler{state.library, handler_reports_, std::nullopt};
    job_->BeginStep(step, wait, handle, step_end);
    Result result = failed;
    {
      const RecordScope scope(handler);
      result = operation(*state.library);
    }
    if (job_->EndStep()) {
      // The run went on without this work: nothing of it is reached again.
      work_left_ = true;
      state.stopped = RfcDeadline{std::string(step)};
      return failed;
    }
    if (StoppedByHandler(handler)) {
      return failed;
    }
    answered(result);
    return result;
  }
  // A call of the run's thread is a piece of work of one step; what it writes back it writes
  // only when it came back in time (a step that was left answers nothing).
  const auto result = std::make_shared<Result>(failed);
  const bool back = OnLibraryThread([result, step = std::string(step), wait, handle, failed,
                                     operation, answered](RfcSession &work) {
    *result = work.Guarded(step, wait, handle, failed, operation, answered);
  });
  return back ? *result : failed;
}

bool RfcSession::OnLibraryThread(std::function<void(RfcSession &)> work) {
  if (Left()) {
    return false;
  }
  const auto job = std::make_shared<Job>(state_, handler_reports_, thread_.Nudger());
  const bool started = thread_.Start([job, work = std::move(work)] { work(job->session); });
  if (!started) {
    return false;
  }
  return AwaitJob(*job);
}

bool RfcSession::AwaitJob(Job &job) {
  // Read while the work runs: both are set before it is handed over and never change in it.
  const RunClock::time_point deadline = state_->deadline;
  const RfcLibrary &library = *state_->library;
  for (;;) {
    RunClock::time_point until;
    std::uint64_t nudges = 0;
    std::optional<std::string> left_in;
    {
      const std::lock_guard lock(job.mutex);
      const RunClock::time_point now = RunClock::now();
      // The step has a limit of its own that the library can be told it outran.
      const bool own_limit = job.step_end < deadline && library.Overrun != nullptr;
      if (job.in_step && now >= deadline) {
        job.left = true;
        left_in = job.step;
      } else if (!job.in_step) {
        // The work's steps look at the deadline before they begin: past it, only a step that
        // began just before needs watching, and it nudges.
        until = now < deadline ? deadline : RunClock::time_point::max();
      } else if (own_limit && now >= job.step_end) {
        // Told under the lock, so that it reaches the step that outran its limit, not the next.
        library.Overrun(job.wait, job.handle);
        until = std::min(deadline, now + kOverrunGrace);
      } else {
        until = own_limit ? job.step_end : deadline;
      }
      job.waiter_until = until;
      nudges = thread_.Nudges();
    }
    if (left_in) {
      LeaveWith(std::move(*left_in));
      return false;
    }
    if (thread_.WaitUntil(until, nudges)) {
      return true;
    }
  }
}

template <typename Result, typename Operation>
Result RfcSession::Local(Result failed, Operation operation) {
  if (Left() || state_->stopped) {
    return failed;
  }
  HandlerRecord handler{state_->library, handler_reports_, std::nullopt};
  Result result;
  {
    const RecordScope scope(handler);
    result = operation();
  }
  return StoppedByHandler(handler) ? failed : result;
}

bool RfcSession::StoppedByHandler(HandlerRecord &handler) {
  if (!handler.record) {
    return false;
  }
  state_->stopped = std::move(*handler.record);
  handler.record.reset();
  return true;
}

namespace {
constexpr auto kNothingBack = [](const auto &) {};
}

RFC_HANDLE RfcSession::Open(std::shared_ptr<RfcOpenTexts> texts) {
  if (!Left()) {
    state_->latest_open = texts;
  }
  return Guarded(
      kLogonStep, RfcWait::Logon, 0, RFC_HANDLE{0},
      [texts](const RfcLibrary &library) { return library.Open(&texts->options); }, kNothingBack);
}

RFC_HANDLE RfcSession::OpenEx(std::string connect_text) {
  const auto owned = std::make_shared<OpenExOwned>();
  owned->connect_text = std::move(connect_text);
  return Guarded(
      kLogonStep, RfcWait::Logon, 0, RFC_HANDLE{0},
      [owned](const RfcLibrary &library) {
        return library.OpenEx(owned->connect_text.c_str(), &owned->error_info);
      },
      kNothingBack);
}

RFC_RC RfcSession::Call(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting,
                        RFC_TABLE *tables) {
  if (Left()) {
    return RFC_FAILURE;
  }
  state_->last_function = function;
  const auto owned = std::make_shared<CallOwned>(function, exporting, tables);
  // The library may still read the lists when the reply comes.
  state_->latest_call = owned;
  return Guarded(
      state_->last_function, RfcWait::Remote, handle, RFC_RC{RFC_FAILURE},
      [owned, handle](const RfcLibrary &library) {
        return library.Call(handle, owned->function.c_str(), owned->exporting.list(),
                            owned->tables.list());
      },
      [owned, tables](RFC_RC) { owned->tables.CopyEntriesTo(tables); });
}

RFC_RC RfcSession::Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                           char **exception) {
  if (Left()) {
    return RFC_FAILURE;
  }
  const auto owned = std::make_shared<ReceiveOwned>(importing, tables);
  return Guarded(
      state_->last_function, RfcWait::Remote, handle, RFC_RC{RFC_FAILURE},
      [owned, handle](const RfcLibrary &library) {
        return library.Receive(handle, owned->importing.list(), owned->tables.list(),
                               &owned->exception);
      },
      [owned, importing, tables, exception](RFC_RC) {
        owned->importing.CopyValuesTo(importing);
        owned->tables.CopyEntriesTo(tables);
        if (exception) {
          *exception = owned->exception;
        }
      });
}

ITAB_H RfcSession::ItCreate(const char *name, unsigned line_length) {
  return Local(ITAB_H{}, [this, name, line_length] {
    return state_->library->ItCreate(const_cast<char *>(name), line_length, 0, 0);
  });
}

unsigned RfcSession::ItFill(ITAB_H table) {
  return Local(0u, [this, table] { return state_->library->ItFill(table); });
}

void *RfcSession::ItGetLine(ITAB_H table, unsigned line) {
  return Local(static_cast<void *>(nullptr),
               [this, table, line] { return state_->library->ItGetLine(table, line); });
}

int RfcSession::ItDelete(ITAB_H table) {
  return Local(-1, [this, table] { return state_->library->ItDelete(table); });
}

void RfcSession::Close(RFC_HANDLE handle) {
  if (Left()) {
    return;
  }
  state_->latest_call.reset();
  Guarded(
      kCloseStep, RfcWait::Other, handle, 0,
      [handle](const RfcLibrary &library) {
        library.Close(handle);
        return 0;
      },
      kNothingBack);
}

RFC_TYPEHANDLE RfcSession::Structure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count) {
  if (Left()) {
    return 0;
  }
  const auto known = state_->structures.find(std::string_view(name));
  if (known != state_->structures.end()) {
    return known->second;
  }
  RFC_TYPEHANDLE handle = 0;
  const RFC_RC code = Local(RFC_RC{RFC_FAILURE}, [this, name, elements, count, &handle] {
    return state_->library->InstallStructure(name, elements, count, &handle);
  });
  if (state_->stopped) {
    return 0;
  }
  if (code != RFC_OK) {
    Abort("RfcInstallStructure");
    return 0;
  }
  state_->structures.emplace(name, handle);
  return handle;
}

std::string RfcSession::LastErrorKey() {
  return Guarded(
      kLogonStep, RfcWait::Other, 0, std::string(),
      [](const RfcLibrary &library) {
        RFC_ERROR_INFO info;
        std::memset(&info, 0, sizeof info);
        library.LastError(&info);
        return Field(info.key, sizeof info.key);
      },
      kNothingBack);
}

void RfcSession::Abort(std::string_view operation) {
  if (Left() || state_->stopped) {
    return;
  }
  // The operations the sensor finds failed are the local ones, made on this thread: their last
  // error is asked for here too.
  state_->stopped = RecordAbort(state_->library, operation);
}

ErrorHandlerScope::ErrorHandlerScope(RfcSession &session)
    : session_(session), previous_(session.handler_reports_) {
  session.handler_reports_ = true;
  // The library keeps its handler: a walk installs it once, not once a system.
  if (session.Left() || session.state_->handler_installed) {
    return;
  }
  session.state_->handler_installed = true;
  session.Guarded(
      "RfcEnvironment", RfcWait::Other, 0, 0,
      [](const RfcLibrary &library) {
        library.Environment(&g_environment);
        return 0;
      },
      kNothingBack);
}

ErrorHandlerScope::~ErrorHandlerScope() { session_.handler_reports_ = previous_; }

extern "C" void RFC_CALL RfcErrorHandler(char *operation) {
  // Outside a handler scope, or after the operation's record was taken once, the library goes on
  // with its failure.
  HandlerRecord *handler = t_handler_record;
  if (!handler || !handler->reports || handler->record) {
    return;
  }
  handler->record = RecordAbort(handler->library, operation ? operation : "");
}

} // namespace kestrovan
