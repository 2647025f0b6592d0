// Calls into the RFC library on its own thread within the run's deadline, and the error handler's
// registration and record.
#include "rfc/rfc_session.h"

#include <cstring>
#include <memory>

namespace kestrovan {

namespace {

/// The library's error handler carries no context of its own, so the session whose scope is open
/// is remembered here; there is one run per process and one library thread.
RfcSession *g_handler_session = nullptr;

/// A text field of the error record, never read past its end even without a terminator.
std::string Field(const char *text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

constexpr std::string_view kLogonStep = "the logon";
constexpr std::string_view kCloseStep = "the close";

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

template <typename Result, typename Operation>
Result RfcSession::Guarded(std::string_view step, Result failed, Operation operation) {
  if (stopped_) {
    return failed;
  }
  // The result lives with the call: a call left running at the deadline may still write it.
  const auto result = std::make_shared<Result>(failed);
  const bool answered =
      RunClock::now() < deadline_ &&
      thread_.Run([result, operation]() mutable { *result = operation(); }, deadline_);
  if (!answered) {
    stopped_ = RfcDeadline{std::string(step)};
    return failed;
  }
  return StoppedByHandler() ? failed : *result;
}

template <typename Result, typename Operation>
Result RfcSession::Local(Result failed, Operation operation) {
  if (stopped_) {
    return failed;
  }
  const Result result = operation();
  return StoppedByHandler() ? failed : result;
}

bool RfcSession::StoppedByHandler() {
  if (!handler_record_) {
    return false;
  }
  stopped_ = std::move(*handler_record_);
  handler_record_.reset();
  return true;
}

RFC_HANDLE RfcSession::Open(RFC_OPTIONS *options) {
  return Guarded(kLogonStep, RFC_HANDLE{0}, [this, options] { return library_->Open(options); });
}

RFC_HANDLE RfcSession::OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info) {
  return Guarded(kLogonStep, RFC_HANDLE{0}, [this, connect_text, error_info] {
    return library_->OpenEx(connect_text, error_info);
  });
}

RFC_RC RfcSession::Call(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting,
                        RFC_TABLE *tables) {
  last_function_ = function;
  return Guarded(last_function_, RFC_RC{RFC_FAILURE}, [this, handle, function, exporting, tables] {
    return library_->Call(handle, function, exporting, tables);
  });
}

RFC_RC RfcSession::Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                           char **exception) {
  return Guarded(last_function_, RFC_RC{RFC_FAILURE}, [this, handle, importing, tables, exception] {
    return library_->Receive(handle, importing, tables, exception);
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
  Guarded(kCloseStep, 0, [this, handle] {
    library_->Close(handle);
    return 0;
  });
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
  return Guarded(kLogonStep, std::string(), [this] {
    RFC_ERROR_INFO info;
    std::memset(&info, 0, sizeof info);
    library_->LastError(&info);
    return Field(info.key, sizeof info.key);
  });
}

RfcAbort RfcSession::RecordAbort(std::string_view operation) {
  RFC_ERROR_INFO info;
  std::memset(&info, 0, sizeof info);
  if (library_) {
    library_->LastError(&info);
  }
  RfcAbort abort{std::string(operation), Field(info.key, sizeof info.key),
                 Field(info.status, sizeof info.status), Field(info.message, sizeof info.message),
                 Field(info.intstat, sizeof info.intstat)};
  if (library_) {
    library_->Close(0);
  }
  return abort;
}

void RfcSession::Abort(std::string_view operation) {
  if (stopped_) {
    return;
  }
  // The operations the sensor finds failed are the local ones, made on this thread: their last
  // error is asked for here too.
  stopped_ = RecordAbort(operation);
}

ErrorHandlerScope::ErrorHandlerScope(RfcSession &session) : previous_(g_handler_session) {
  g_handler_session = &session;
  session.environment_ = RFC_ENV{RfcErrorHandler, nullptr};
  session.Guarded("RfcEnvironment", 0, [&session] {
    session.library_->Environment(&session.environment_);
    return 0;
  });
}

ErrorHandlerScope::~ErrorHandlerScope() { g_handler_session = previous_; }

extern "C" void RFC_CALL RfcErrorHandler(char *operation) {
  // Without a session, or after its record was taken once, the library goes on with its failure.
  RfcSession *session = g_handler_session;
  if (!session || session->stopped_ || session->handler_record_) {
    return;
  }
  session->handler_record_ = session->RecordAbort(operation ? operation : "");
}

} // namespace kestrovan
