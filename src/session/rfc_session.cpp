// Calls into the RFC library on its own thread within the run's deadline, and the error handler's
// registration and record.
#include "session/rfc_session.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "session/call_lists.h"

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

/// What one remote operation owns: its result and its handler's record, and the blocks of what
/// it hands the library.
template <typename Result> struct CallBlock {
  Result result;
  HandlerRecord handler;
};

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

std::optional<std::string> RfcSession::Bind() {
  if (library_) {
    return std::nullopt;
  }
  std::string problem = "no RFC library is configured...";
  if (binder_) {
    library_ = binder_(&problem);
  }
  if (!library_) {
    return problem;
  }
  return std::nullopt;
}

template <typename Result, typename Operation, typename Answered>
Result RfcSession::Guarded(std::string_view step, RfcWait wait, RFC_HANDLE handle, Result failed,
                           Operation operation, Answered answered) {
  if (stopped_) {
    return failed;
  }
  const RunClock::time_point now = RunClock::now();
  if (now >= deadline_) {
    stopped_ = RfcDeadline{std::string(step)};
    return failed;
  }
  // The step's limit is asked for while the library's thread is idle.
  RunClock::time_point step_end = deadline_;
  if (library_->StepLimit) {
    const long long limit = library_->StepLimit(wait, handle);
    if (limit >= 0 && std::chrono::milliseconds(limit) < deadline_ - now) {
      step_end = now + std::chrono::milliseconds(limit);
    }
  }
  const auto block = std::make_shared<CallBlock<Result>>();
  block->result = failed;
  block->handler.library = library_;
  block->handler.reports = handler_reports_;
  const bool started = thread_.Start([block, operation]() mutable {
    const RecordScope scope(block->handler);
    block->result = operation(*block->handler.library);
  });
  if (!started || !AwaitCall(step_end, wait, handle)) {
    stopped_ = RfcDeadline{std::string(step)};
    return failed;
  }
  if (StoppedByHandler(block->handler)) {
    return failed;
  }
  answered(block->result);
  return block->result;
}

bool RfcSession::AwaitCall(RunClock::time_point step_end, RfcWait wait, RFC_HANDLE handle) {
  if (thread_.WaitUntil(step_end)) {
    return true;
  }
  if (step_end < deadline_ && library_->Overrun) {
    // A cancel may come before the library has reached the call: it is said again until the
    // call is back or the run's time is up.
    do {
      library_->Overrun(wait, handle);
      if (thread_.WaitUntil(std::min(deadline_, RunClock::now() + kOverrunGrace))) {
        return true;
      }
    } while (RunClock::now() < deadline_);
  } else if (thread_.WaitUntil(deadline_)) {
    return true;
  }
  thread_.Leave();
  return false;
}

template <typename Result, typename Operation>
Result RfcSession::Local(Result failed, Operation operation) {
  if (stopped_) {
    return failed;
  }
  HandlerRecord handler{library_, handler_reports_, std::nullopt};
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
  stopped_ = std::move(*handler.record);
  handler.record.reset();
  return true;
}

namespace {
constexpr auto kNothingBack = [](const auto &) {};
}

RFC_HANDLE RfcSession::Open(std::shared_ptr<RfcOpenTexts> texts) {
  latest_open_ = texts;
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
  last_function_ = function;
  const auto owned = std::make_shared<CallOwned>(function, exporting, tables);
  // The library may still read the lists when the reply comes.
  latest_call_ = owned;
  return Guarded(
      last_function_, RfcWait::Remote, handle, RFC_RC{RFC_FAILURE},
      [owned, handle](const RfcLibrary &library) {
        return library.Call(handle, owned->function.c_str(), owned->exporting.list(),
                            owned->tables.list());
      },
      [owned, tables](RFC_RC) { owned->tables.CopyEntriesTo(tables); });
}

RFC_RC RfcSession::Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                           char **exception) {
  const auto owned = std::make_shared<ReceiveOwned>(importing, tables);
  return Guarded(
      last_function_, RfcWait::Remote, handle, RFC_RC{RFC_FAILURE},
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
    return library_->ItCreate(const_cast<char *>(name), line_length, 0, 0);
  });
}

unsigned RfcSession::ItFill(ITAB_H table) {
  return Local(0u, [this, table] { return library_->ItFill(table); });
}

void *RfcSession::ItGetLine(ITAB_H table, unsigned line) {
  return Local(static_cast<void *>(nullptr),
               [this, table, line] { return library_->ItGetLine(table, line); });
}

int RfcSession::ItDelete(ITAB_H table) {
  return Local(-1, [this, table] { return library_->ItDelete(table); });
}

void RfcSession::Close(RFC_HANDLE handle) {
  latest_call_.reset();
  Guarded(
      kCloseStep, RfcWait::Other, handle, 0,
      [handle](const RfcLibrary &library) {
        library.Close(handle);
        return 0;
      },
      kNothingBack);
}

RFC_TYPEHANDLE RfcSession::Structure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned count) {
  const auto known = structures_.find(std::string_view(name));
  if (known != structures_.end()) {
    return known->second;
  }
  RFC_TYPEHANDLE handle = 0;
  const RFC_RC code = Local(RFC_RC{RFC_FAILURE}, [this, name, elements, count, &handle] {
    return library_->InstallStructure(name, elements, count, &handle);
  });
  if (stopped_) {
    return 0;
  }
  if (code != RFC_OK) {
    Abort("RfcInstallStructure");
    return 0;
  }
  structures_.emplace(name, handle);
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
  if (stopped_) {
    return;
  }
  // The operations the sensor finds failed are the local ones, made on this thread: their last
  // error is asked for here too.
  stopped_ = RecordAbort(library_, operation);
}

ErrorHandlerScope::ErrorHandlerScope(RfcSession &session)
    : session_(session), previous_(session.handler_reports_) {
  session.handler_reports_ = true;
  // The library keeps its handler: a walk installs it once, not once a system.
  if (session.handler_installed_) {
    return;
  }
  session.handler_installed_ = true;
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
