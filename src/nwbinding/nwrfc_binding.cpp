// The classic operations over the NetWeaver library. The classic interface is 8-bit, two-step
// (RfcCall sends, RfcReceive waits) and knows structures only by the layouts the program
// installs; the NetWeaver one is UTF-16, one-step (RfcInvoke) and reads its layouts from the
// system. So RfcCall prepares the function and RfcReceive invokes it and copies the values into
// the classic buffers by the installed field names and lengths.
#include "nwbinding/nwrfc_binding.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/text_pieces.h"
#include "nwbinding/nwrfc_handles.h"
#include "nwbinding/nwrfc_text.h"
#include "nwbinding/nwrfc_values.h"
#include "rfcfiles/bounded_file.h"
#include "rfcfiles/connect_data.h"
#include "rfcfiles/destination_file.h"
#include "rfcfiles/file_names.h"
#include "rfcfiles/guarded_entry.h"
#include "wire/text_util.h"

namespace kestrovan::nwbinding {

namespace {

using std::chrono::milliseconds;
using NwClock = std::chrono::steady_clock;

constexpr std::size_t kMaxConnections = 64;

/// The reason a call the watchdog ended shows on the trace's ERROR line, as the classic
/// library's own receive timeout reads.
using rfcfiles::kReasonTimeout;

/// The text of a settings or destination file, read as the sensor reads its own files; Missing
/// when there is no regular file of that name.
rfcfiles::FileRead ReadSettingsFile(Platform &files, std::string_view path, std::string &text) {
  text.clear();
  const auto source = files.OpenText(std::string(path));
  if (!source) {
    return rfcfiles::FileRead::Missing;
  }
  std::string piece;
  while (source->Next(kFileReadChunk, &piece)) {
    if (text.size() + piece.size() > rfcfiles::kLargestSettingsFile) {
      text.clear();
      return rfcfiles::FileRead::TooLarge;
    }
    text += piece;
  }
  return rfcfiles::FileRead::Ok;
}

struct Connection {
  nwrfc::ConnectionHandle nw = nullptr;
  std::string partner;
  /// When the connection's time as a whole runs out.
  NwClock::time_point end;
  milliseconds call_limit{};
  /// The function of a call that waits for RfcReceive, and its name.
  nwrfc::ContainerHandle pending = nullptr;
  std::string function;
  bool call_pending = false;
  /// The system does not know the function: reported at RfcReceive, as the classic library does.
  std::optional<nwrfc::ErrorInfo> lookup_failure;
};

/// Where one received value goes once every value has arrived: nothing is written into the
/// caller's memory before the whole answer was read.
struct PendingValue {
  std::uint8_t *target = nullptr;
  std::vector<std::uint8_t> bytes;
};

struct PendingTable {
  NwTable *table = nullptr;
  NwRows rows;
};

class Binding {
public:
  static Binding &Instance() {
    static Binding binding;
    return binding;
  }

  void Reset(const NwRfcFunctions &functions, Platform &files) {
    fn_ = functions;
    files_ = &files;
    handler_ = nullptr;
    connections_.clear();
    next_handle_ = 1;
    structures_.Clear();
    tables_.Clear();
    password_.clear();
    exception_.clear();
    std::string release = "0,0,0";
    if (fn_.GetVersion) {
      unsigned major = 0, minor = 0, patch = 0;
      fn_.GetVersion(&major, &minor, &patch);
      release = std::to_string(major) + "," + std::to_string(minor) + "," + std::to_string(patch);
    }
    log_.Reset(&files, release);
  }

  void SetEnvironment(const RFC_ENV *environment) {
    handler_ = environment ? environment->errorhandler : nullptr;
  }

  RFC_ERROR_HANDLER Handler() const { return handler_; }

  RFC_HANDLE Open(const RFC_OPTIONS *options, bool &violation);
  RFC_HANDLE OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info, bool &violation);
  RFC_RC InstallStructure(const char *name, const RFC_TYPE_ELEMENT *elements, unsigned entries,
                          RFC_TYPEHANDLE *type_handle);
  RFC_RC Call(RFC_HANDLE handle, const char *function, const RFC_PARAMETER *exporting,
              const RFC_TABLE *tables);
  RFC_RC Receive(RFC_HANDLE handle, const RFC_PARAMETER *importing, const RFC_TABLE *tables,
                 char **exception, bool &violation);
  ITAB_H ItCreate(const char *name, unsigned length);
  unsigned ItFill(ITAB_H table);
  void *ItGetLine(ITAB_H table, unsigned line);
  int ItDelete(ITAB_H table);
  int LastError(RFC_ERROR_INFO *record) const {
    if (record == nullptr) {
      return 1;
    }
    *record = log_.Last();
    return 0;
  }
  void Close(RFC_HANDLE handle);

  void RecordInternal(const char *operation, const char *what) {
    log_.Own(operation, "", kKeyInternal, what, "");
  }

  long long StepLimit(RfcWait wait, RFC_HANDLE handle);
  void Overrun();

private:
  using Parameters = std::vector<std::pair<std::string, std::string>>;

  void Own(std::string_view operation, std::string_view where, std::string_view key,
           std::string_view reason, std::string_view detail, int rc = RFC_FAILURE) {
    log_.Own(operation, where, key, reason, detail, rc);
  }

  void FromLibrary(std::string_view operation, std::string_view where,
                   const nwrfc::ErrorInfo &error, int rc, std::string_view reason = {},
                   std::string_view note = {}) {
    log_.FromLibrary(operation, where, error, rc, password_, reason, note);
  }

  Connection *Find(RFC_HANDLE handle) {
    const auto found = connections_.find(handle);
    return found == connections_.end() ? nullptr : &found->second;
  }

  /// Ends a connection for the caller. After some errors the library has closed it already;
  /// it is closed again only when the library still lists it.
  void Release(Connection &connection) {
    nwrfc::ErrorInfo ignored{};
    if (connection.pending) {
      fn_.DestroyFunction(connection.pending, &ignored);
    }
    connection.pending = nullptr;
    bool listed = true;
    if (fn_.IsConnectionHandleValid) {
      int valid = 0;
      listed =
          fn_.IsConnectionHandleValid(connection.nw, &valid, &ignored) == nwrfc::kOk && valid != 0;
    }
    if (listed) {
      fn_.CloseConnection(connection.nw, &ignored);
    }
  }

  void Drop(RFC_HANDLE handle) {
    if (Connection *connection = Find(handle)) {
      Release(*connection);
      connections_.erase(handle);
    }
  }

  std::string Where(RFC_HANDLE handle, const Connection *connection) const {
    std::string where = "handle " + std::to_string(handle);
    if (connection) {
      where += " to " + connection->partner;
      if (!connection->function.empty()) {
        where += " (" + connection->function + ")";
      }
    }
    return where;
  }

  /// Runs work, a step the run's watchdog may end, on connection nw (null for an open): true when
  /// the watchdog said the step outran its limit (and cancelled it where the library can).
  template <typename Work> bool Watched(nwrfc::ConnectionHandle nw, Work work);

  RFC_HANDLE OpenWith(const char *operation, const Parameters &parameters,
                      const std::string &partner, nwrfc::ErrorInfo &error, bool &violation,
                      bool &reported);
  bool CheckParameters(const RFC_PARAMETER *list, std::string &problem) const {
    return CheckParameterList(list, structures_, problem);
  }
  bool CheckTables(const RFC_TABLE *list, std::string &problem) {
    return CheckTableList(list, tables_, structures_, problem);
  }

  NwRfcFunctions fn_{};
  Platform *files_ = nullptr;
  RFC_ERROR_HANDLER handler_ = nullptr;
  std::map<RFC_HANDLE, Connection> connections_;
  RFC_HANDLE next_handle_ = 1;
  NwStructures structures_;
  NwTables tables_;
  NwErrorLog log_;
  /// The password of the latest open, so that no text of the library can carry it on.
  std::string password_;
  /// The exception name RfcReceive hands out; valid until the next receive.
  std::string exception_;
  /// What the watchdog on the run's thread shares with the step under way, under watch_mutex_.
  std::mutex watch_mutex_;
  bool step_under_way_ = false;
  nwrfc::ConnectionHandle step_connection_ = nullptr;
  bool step_overrun_ = false;
};

/// The limits for the next open: the settings file's, or the defaults.
rfcfiles::TimeLimits ReadLimits(Platform &files) {
  std::string text;
  return ReadSettingsFile(files, kNwRfcLimitsFile, text) == rfcfiles::FileRead::Ok
             ? rfcfiles::ParseTimeLimits(text, kNwRfcDefaultLimits)
             : kNwRfcDefaultLimits;
}

long long Binding::StepLimit(RfcWait wait, RFC_HANDLE handle) {
  if (wait == RfcWait::Logon && files_) {
    const rfcfiles::TimeLimits limits = ReadLimits(*files_);
    return std::min(limits.connect, limits.connection).count();
  }
  const Connection *connection = wait == RfcWait::Remote ? Find(handle) : nullptr;
  if (connection == nullptr) {
    return -1;
  }
  const NwClock::time_point now = NwClock::now();
  const NwClock::time_point end = std::min(now + connection->call_limit, connection->end);
  return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(end - now)).count();
}

void Binding::Overrun() {
  const std::lock_guard lock(watch_mutex_);
  if (!step_under_way_) {
    return; // not begun yet, or back already: the watchdog says it again while it waits
  }
  step_overrun_ = true;
  if (step_connection_ && fn_.Cancel) {
    nwrfc::ErrorInfo ignored{};
    fn_.Cancel(step_connection_, &ignored);
  }
}

template <typename Work> bool Binding::Watched(nwrfc::ConnectionHandle nw, Work work) {
  {
    const std::lock_guard lock(watch_mutex_);
    step_under_way_ = true;
    step_connection_ = nw;
    step_overrun_ = false;
  }
  work();
  // A cancel under way is waited for, so the connection is never cancelled after it was left.
  const std::lock_guard lock(watch_mutex_);
  step_under_way_ = false;
  step_connection_ = nullptr;
  // Without RfcCancel a call is not bounded: it ran to its end, and what it brought counts.
  const bool ended = step_overrun_ && (nw == nullptr || fn_.Cancel != nullptr);
  step_overrun_ = false;
  return ended;
}

RFC_HANDLE Binding::OpenWith(const char *operation, const Parameters &parameters,
                             const std::string &partner, nwrfc::ErrorInfo &error, bool &violation,
                             bool &reported) {
  reported = false;
  if (connections_.size() >= kMaxConnections) {
    Own(operation, "to " + partner, kKeyInternal, "too many open connections",
        std::to_string(kMaxConnections) + " are open");
    reported = true;
    return 0;
  }
  const rfcfiles::TimeLimits limits = ReadLimits(*files_);
  const NwClock::time_point start = NwClock::now();
  std::vector<std::u16string> names, values;
  for (const auto &[name, value] : parameters) {
    names.push_back(WidenAnsi(name));
    values.push_back(WidenProfileText(value));
  }
  std::vector<nwrfc::ConnectionParameter> wide;
  for (std::size_t i = 0; i < names.size(); ++i) {
    wide.push_back({names[i].c_str(), values[i].c_str()});
  }
  // RfcCancel cannot reach a connection that does not exist yet: an open that outruns its limit
  // fails when it comes back, and a connection it made is closed again.
  const milliseconds limit = std::min(limits.connect, limits.connection);
  nwrfc::ConnectionHandle opened = nullptr;
  const bool timed_out = Watched(nullptr, [&] {
    opened = fn_.OpenConnection(wide.data(), static_cast<unsigned>(wide.size()), &error);
  });
  if (timed_out) {
    if (opened) {
      nwrfc::ErrorInfo ignored{};
      fn_.CloseConnection(opened, &ignored);
    }
    Own(operation, "to " + partner, kKeyCommunication, "timeout during open",
        "no logon answer within " + std::to_string(limit.count()) + " ms");
    reported = true;
    return 0;
  }
  if (opened == nullptr) {
    violation = ClassicInvokeOutcome(error.code).protocol_violation;
    return 0;
  }
  while (next_handle_ == 0 || connections_.count(next_handle_) != 0) {
    ++next_handle_;
  }
  const RFC_HANDLE handle = next_handle_++;
  Connection &connection = connections_[handle];
  connection.nw = opened;
  connection.partner = partner;
  connection.end = start + limits.connection;
  connection.call_limit = limits.call;
  return handle;
}

RFC_HANDLE Binding::Open(const RFC_OPTIONS *options, bool &violation) {
  std::string problem;
  if (options == nullptr) {
    problem = "no options record";
  } else if (options->connopt == nullptr) {
    problem = "no connection options";
  }
  if (!problem.empty()) {
    Own("RfcOpen", "", kKeyParameter, "invalid connection options", problem);
    return 0;
  }
  if (options->mode == RFC_MODE_CPIC) {
    Own("RfcOpen", "", kKeyConfiguration, kGatewayModeRefused, "");
    return 0;
  }
  if (options->mode != RFC_MODE_R3ONLY) {
    Own("RfcOpen", "", kKeyParameter, "invalid connection options",
        "mode " + std::to_string(options->mode) + " is unknown");
    return 0;
  }
  const auto *server = static_cast<const RFC_CONNOPT_R3 *>(options->connopt);
  const std::string host = server->hostname ? server->hostname : "";
  if (host.empty()) {
    problem = "no application server host given";
  } else if (server->sysnr < 0 || server->sysnr > 99) {
    problem = "system number " + std::to_string(server->sysnr) + " is not 00..99";
  }
  if (!problem.empty()) {
    Own("RfcOpen", "", kKeyParameter, "invalid connection options", problem);
    return 0;
  }
  std::array<char, 3> sysnr{};
  sysnr[0] = static_cast<char>('0' + server->sysnr / 10);
  sysnr[1] = static_cast<char>('0' + server->sysnr % 10);
  const auto text = [](const char *value) { return value ? std::string(value) : std::string(); };
  password_ = std::string(rfcwire::TrimTrailingBlanks(text(options->password)));
  Parameters parameters = {{"ASHOST", host},
                           {"SYSNR", sysnr.data()},
                           {"CLIENT", text(options->client)},
                           {"USER", std::string(rfcwire::TrimTrailingBlanks(text(options->user)))},
                           {"PASSWD", password_}};
  if (!text(options->language).empty()) {
    parameters.emplace_back("LANG", text(options->language));
  }
  const rfcfiles::RoutedHost routed = rfcfiles::SplitRoute(host);
  parameters.front().second = routed.host;
  if (!routed.router.empty()) {
    parameters.emplace_back("SAPROUTER", routed.router);
  }
  const std::string partner = "ASHOST " + host + " SYSNR " + sysnr.data();
  nwrfc::ErrorInfo error{};
  bool reported = false;
  const RFC_HANDLE handle = OpenWith("RfcOpen", parameters, partner, error, violation, reported);
  if (handle == 0 && !reported) {
    FromLibrary("RfcOpen", "to " + partner, error, RFC_FAILURE);
  }
  return handle;
}

RFC_HANDLE Binding::OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info,
                           bool &violation) {
  rfcfiles::ConnectValues given;
  rfcfiles::ConnectValues values;
  std::string problem;
  bool usable = connect_text != nullptr && rfcfiles::ParseConnectText(connect_text, given, problem);
  if (connect_text == nullptr) {
    problem = "no connect text";
  }
  const std::string destination = given.count("DEST") ? given["DEST"] : "";
  if (usable && !destination.empty()) {
    const rfcfiles::DestinationLookup lookup = rfcfiles::LookUpDestination(
        [this](std::string_view name, std::string &content) {
          return ReadSettingsFile(*files_, name, content);
        },
        destination, values);
    if (lookup.result != rfcfiles::EntryLookup::Found) {
      problem = lookup.problem;
      usable = false;
    }
  }
  // Values of the connect text win over those of the destination entry.
  for (const auto &[key, value] : given) {
    values[key] = value;
  }
  const auto value = [&](const char *key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
  };
  Parameters parameters;
  std::string partner;
  if (usable) {
    const rfcfiles::ServerKind kind = rfcfiles::ServerKindOf(values);
    if (kind == rfcfiles::ServerKind::LoadBalancing) {
      // Load balancing: the NetWeaver library asks the message server itself.
      if (value("MSHOST").empty() || value("R3NAME").empty()) {
        problem = "load balancing (TYPE=B) needs MSHOST and R3NAME";
        usable = false;
      } else {
        parameters = {{"MSHOST", value("MSHOST")},
                      {"R3NAME", value("R3NAME")},
                      {"GROUP", value("GROUP").empty() ? "PUBLIC" : value("GROUP")}};
        if (!value("MSSERV").empty()) {
          parameters.emplace_back("MSSERV", value("MSSERV"));
        }
        partner = "MSHOST " + value("MSHOST") + " R3NAME " + value("R3NAME");
      }
    } else if (kind == rfcfiles::ServerKind::Unsupported) {
      problem = rfcfiles::UnsupportedTypeProblem(values);
      usable = false;
    } else {
      const std::string host = value("ASHOST");
      const std::string sysnr = value("SYSNR");
      if (host.empty()) {
        problem = "no ASHOST given";
        usable = false;
      } else if (!rfcfiles::IsSystemNumber(sysnr)) {
        problem = rfcfiles::SystemNumberProblem(sysnr);
        usable = false;
      } else {
        const rfcfiles::RoutedHost routed = rfcfiles::SplitRoute(host);
        parameters = {{"ASHOST", routed.host}, {"SYSNR", sysnr}};
        if (!routed.router.empty()) {
          values["SAPROUTER"] = routed.router;
        }
        partner = "ASHOST " + host + " SYSNR " + sysnr;
      }
    }
  }
  RFC_HANDLE handle = 0;
  nwrfc::Group group = nwrfc::kGroupExternalRuntimeFailure;
  const std::string where = destination.empty() ? "" : "DEST=" + destination;
  if (!usable) {
    Own("RfcOpenEx", where, kKeyConfiguration, "invalid connect data", problem);
  } else {
    password_ = std::string(rfcwire::TrimTrailingBlanks(value("PASSWD")));
    parameters.emplace_back("CLIENT", value("CLIENT"));
    parameters.emplace_back("USER", std::string(rfcwire::TrimTrailingBlanks(value("USER"))));
    parameters.emplace_back("PASSWD", password_);
    if (!value("LANG").empty()) {
      parameters.emplace_back("LANG", value("LANG"));
    }
    for (const char *key : rfcfiles::kSecureAndRoutedKeys) {
      if (!value(key).empty()) {
        parameters.emplace_back(key, value(key));
      }
    }
    nwrfc::ErrorInfo error{};
    bool reported = false;
    handle = OpenWith("RfcOpenEx", parameters, partner, error, violation, reported);
    if (handle == 0 && !reported) {
      FromLibrary("RfcOpenEx", "to " + partner, error, RFC_FAILURE);
      group = error.group;
    } else if (handle == 0) {
      group = nwrfc::kGroupCommunicationFailure;
    }
  }
  if (handle == 0 && error_info != nullptr) {
    // The classic groups: 1 communication, 2 logon, 3 anything else.
    error_info->group = group == nwrfc::kGroupLogonFailure           ? 2
                        : group == nwrfc::kGroupCommunicationFailure ? 1
                                                                     : 3;
    CopyText(error_info->key, sizeof error_info->key, log_.Last().key);
    CopyText(error_info->message, sizeof error_info->message, log_.Last().message);
  }
  return handle;
}

RFC_RC Binding::InstallStructure(const char *name, const RFC_TYPE_ELEMENT *elements,
                                 unsigned entries, RFC_TYPEHANDLE *type_handle) {
  std::string problem;
  RFC_TYPEHANDLE handle = 0;
  if (type_handle == nullptr) {
    problem = "no place for the type handle";
  } else if (structures_.Install(name, elements, entries, handle, problem)) {
    *type_handle = handle;
    return RFC_OK;
  }
  Own("RfcInstallStructure", "", kKeyParameter, "invalid structure description", problem);
  return RFC_FAILURE;
}

RFC_RC Binding::Call(RFC_HANDLE handle, const char *function, const RFC_PARAMETER *exporting,
                     const RFC_TABLE *tables) {
  Connection *connection = Find(handle);
  if (connection == nullptr) {
    Own("RfcCall", Where(handle, nullptr), kKeyHandle, "invalid connection handle",
        "no open connection has handle " + std::to_string(handle));
    return RFC_FAILURE;
  }
  const std::string name = function ? function : "";
  std::string problem;
  if (name.empty()) {
    problem = "no function module name";
  } else if (connection->call_pending) {
    problem = "the call of " + connection->function + " still waits for RfcReceive";
  } else if (CheckParameters(exporting, problem) && CheckTables(tables, problem)) {
    for (const RFC_TABLE *entry = tables; entry && entry->name; ++entry) {
      if (tables_.Find(entry->ithandle)->rows.count != 0) {
        problem = "table " + ParameterName(entry->name, entry->nlen) +
                  ": sending rows is not supported by the NetWeaver binding";
        break;
      }
    }
  }
  if (!problem.empty()) {
    Own("RfcCall", Where(handle, connection), kKeyParameter, "invalid call", problem);
    return RFC_FAILURE;
  }
  connection->function = name;
  const std::u16string wide_name = WidenAnsi(name);
  nwrfc::ErrorInfo error{};
  nwrfc::FunctionDescHandle description = nullptr;
  const bool timed_out = Watched(connection->nw, [&] {
    description = fn_.GetFunctionDesc(connection->nw, wide_name.c_str(), &error);
  });
  if (description == nullptr) {
    if (error.code == nwrfc::kNotFound && !timed_out) {
      // The classic library learns of an unknown function module with the reply.
      connection->lookup_failure = error;
      connection->call_pending = true;
      return RFC_OK;
    }
    FromLibrary("RfcCall", Where(handle, connection), error, RFC_FAILURE,
                timed_out ? kReasonTimeout : std::string_view());
    if (timed_out || ClassicInvokeOutcome(error.code).connection_closed) {
      Drop(handle);
    }
    return RFC_FAILURE;
  }
  nwrfc::ContainerHandle container = fn_.CreateFunction(description, &error);
  if (container == nullptr) {
    FromLibrary("RfcCall", Where(handle, connection), error, RFC_FAILURE);
    return RFC_FAILURE;
  }
  for (const RFC_PARAMETER *entry = exporting; entry && entry->name; ++entry) {
    const std::u16string wide = WidenAnsi(ParameterName(entry->name, entry->nlen));
    const auto *source = static_cast<const std::uint8_t *>(entry->addr);
    nwrfc::Rc rc = nwrfc::kOk;
    if (const NwStructure *structure = structures_.Find(entry->type)) {
      nwrfc::ContainerHandle record = nullptr;
      rc = fn_.GetStructure(container, wide.c_str(), &record, &error);
      for (std::size_t i = 0; rc == nwrfc::kOk && i < structure->elements.size(); ++i) {
        const NwElement &element = structure->elements[i];
        rc = WriteField(fn_, record, element.wide_name, element.type, element.length,
                        source + element.offset, error);
      }
    } else {
      rc = WriteField(fn_, container, wide, entry->type, entry->leng, source, error);
    }
    if (rc != nwrfc::kOk) {
      FromLibrary("RfcCall", Where(handle, connection), error, RFC_FAILURE);
      nwrfc::ErrorInfo ignored{};
      fn_.DestroyFunction(container, &ignored);
      return RFC_FAILURE;
    }
  }
  connection->pending = container;
  connection->call_pending = true;
  return RFC_OK;
}

RFC_RC Binding::Receive(RFC_HANDLE handle, const RFC_PARAMETER *importing, const RFC_TABLE *tables,
                        char **exception, bool &violation) {
  if (exception != nullptr) {
    *exception = nullptr;
  }
  Connection *connection = Find(handle);
  if (connection == nullptr) {
    Own("RfcReceive", Where(handle, nullptr), kKeyHandle, "invalid connection handle",
        "no open connection has handle " + std::to_string(handle));
    return RFC_FAILURE;
  }
  std::string problem;
  if (!connection->call_pending) {
    problem = "no call is waiting for its reply";
  } else if (CheckParameters(importing, problem)) {
    CheckTables(tables, problem);
  }
  if (!problem.empty()) {
    Own("RfcReceive", Where(handle, connection), kKeyParameter, "invalid receive", problem);
    return RFC_FAILURE;
  }
  const std::string where = Where(handle, connection);
  connection->call_pending = false;

  nwrfc::ErrorInfo error{};
  nwrfc::Rc rc = nwrfc::kOk;
  bool timed_out = false;
  milliseconds limit{};
  if (connection->lookup_failure) {
    error = *connection->lookup_failure;
    connection->lookup_failure.reset();
    rc = nwrfc::kAbapRuntimeFailure; // a call of an unknown module fails as a system exception
  } else {
    const NwClock::time_point now = NwClock::now();
    const NwClock::time_point deadline = std::min(now + connection->call_limit, connection->end);
    // The connection's time may be used up already: then the watchdog cancels at once.
    limit = std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - now));
    timed_out = Watched(connection->nw,
                        [&] { rc = fn_.Invoke(connection->nw, connection->pending, &error); });
  }

  if (rc == nwrfc::kOk) {
    std::vector<PendingValue> values;
    std::vector<PendingTable> rows;
    Got got = Got::Value;
    std::string failed_at;
    std::string refused;
    std::uint64_t budget = kMaxReplyTableBytes;
    for (const RFC_PARAMETER *entry = importing; got != Got::Failed && entry && entry->name;
         ++entry) {
      const std::string name = ParameterName(entry->name, entry->nlen);
      const std::u16string wide = WidenAnsi(name);
      PendingValue value;
      value.target = static_cast<std::uint8_t *>(entry->addr);
      value.bytes.assign(value.target, value.target + entry->leng);
      if (const NwStructure *structure = structures_.Find(entry->type)) {
        nwrfc::ContainerHandle record = nullptr;
        error = nwrfc::ErrorInfo{};
        const nwrfc::Rc found =
            fn_.GetStructure(connection->pending, wide.c_str(), &record, &error);
        got = found == nwrfc::kOk
                  ? ReadStructure(fn_, record, *structure, value.bytes.data(), error)
              : found == nwrfc::kInvalidParameter ? Got::Absent
                                                  : Got::Failed;
      } else {
        got = ReadField(fn_, connection->pending, wide, entry->type, entry->leng,
                        value.bytes.data(), error);
      }
      if (got == Got::Value) {
        values.push_back(std::move(value));
      }
      if (got == Got::Failed) {
        failed_at = name;
      }
    }
    for (const RFC_TABLE *entry = tables;
         (got == Got::Value || got == Got::Absent) && entry && entry->name; ++entry) {
      const std::string name = ParameterName(entry->name, entry->nlen);
      const std::u16string wide = WidenAnsi(name);
      const NwStructure &structure = *structures_.Find(entry->type);
      PendingTable received;
      received.table = tables_.Find(entry->ithandle);
      error = nwrfc::ErrorInfo{};
      const Got read =
          ReadTable(fn_, connection->pending, wide, structure, received.table->line_length, budget,
                    received.rows, error, refused);
      if (read == Got::Absent) {
        continue; // not sent: the table stays as it was
      }
      if (read != Got::Value) {
        got = read;
        failed_at = name;
        break;
      }
      rows.push_back(std::move(received));
    }
    nwrfc::ErrorInfo ignored{};
    fn_.DestroyFunction(connection->pending, &ignored);
    connection->pending = nullptr;
    if (got == Got::Refused) {
      // As the classic library refuses a reply too large for it: the partner broke the bounds.
      Own("RfcReceive", where, kKeyProtocol, "malformed data from partner",
          "table " + failed_at + ": " + refused);
      Drop(handle);
      violation = true;
      return RFC_FAILURE;
    }
    if (got == Got::Failed) {
      FromLibrary("RfcReceive", where + " reading " + failed_at, error, RFC_FAILURE);
      return RFC_FAILURE;
    }
    for (PendingValue &value : values) {
      std::copy(value.bytes.begin(), value.bytes.end(), value.target);
    }
    for (PendingTable &table : rows) {
      table.table->rows = std::move(table.rows);
    }
    return RFC_OK;
  }

  if (connection->pending) {
    nwrfc::ErrorInfo ignored{};
    fn_.DestroyFunction(connection->pending, &ignored);
    connection->pending = nullptr;
  }
  const ClassicOutcome outcome = ClassicInvokeOutcome(rc);
  if (timed_out) {
    FromLibrary("RfcReceive", where, error, RFC_FAILURE, kReasonTimeout,
                "no answer within " + std::to_string(limit.count()) + " ms, call cancelled");
    Drop(handle);
    return RFC_FAILURE;
  }
  FromLibrary("RfcReceive", where, error, outcome.code);
  if (outcome.code == RFC_EXCEPTION || outcome.code == RFC_SYS_EXCEPTION) {
    exception_ = NarrowField(error.key, std::size(error.key));
    if (exception_.empty()) {
      exception_ = std::string(NwRcName(rc));
    }
    if (exception != nullptr) {
      *exception = exception_.data();
    }
  }
  // The classic library closes the connection after a system exception and a failure.
  if (outcome.code != RFC_EXCEPTION) {
    Drop(handle);
  }
  violation = outcome.protocol_violation;
  return outcome.code;
}

ITAB_H Binding::ItCreate(const char *name, unsigned length) {
  const std::string table_name = name ? std::string(name).substr(0, 64) : std::string();
  if (length == 0 || length > kMaxLineLength) {
    Own("ItCreate", "", kKeyParameter, "invalid line length",
        "table " + table_name + ": " + std::to_string(length) + " bytes, 1.." +
            std::to_string(kMaxLineLength) + " allowed");
    return 0;
  }
  return tables_.Create(table_name, length);
}

unsigned Binding::ItFill(ITAB_H handle) {
  const NwTable *table = tables_.Find(handle);
  if (table == nullptr) {
    Own("ItFill", "", kKeyHandle, "invalid table handle", "");
    return 0;
  }
  return static_cast<unsigned>(table->rows.count);
}

void *Binding::ItGetLine(ITAB_H handle, unsigned line) {
  NwTable *table = tables_.Find(handle);
  if (table == nullptr) {
    Own("ItGetLine", "", kKeyHandle, "invalid table handle", "");
    return nullptr;
  }
  if (line == 0 || line > table->rows.count) {
    Own("ItGetLine", "", kKeyParameter, "row does not exist",
        "table " + table->name + " has " + std::to_string(table->rows.count) + " rows, row " +
            std::to_string(line) + " was asked for");
    return nullptr;
  }
  return table->rows.bytes.data() + std::size_t{line - 1} * table->line_length;
}

int Binding::ItDelete(ITAB_H handle) {
  if (!tables_.Delete(handle)) {
    Own("ItDelete", "", kKeyHandle, "invalid table handle", "");
    return 1;
  }
  return 0;
}

void Binding::Close(RFC_HANDLE handle) {
  // Closing a handle that is gone already is no error and traces nothing, as with the classic
  // library: the program closes after reading the trace.
  if (handle != 0) {
    Drop(handle);
    return;
  }
  for (auto &[number, connection] : connections_) {
    Release(connection);
  }
  connections_.clear();
}

// ---------------------------------------------------------------------------------------------
// The entry points: the work runs guarded, so no C++ exception leaves through the C interface;
// the error handler is called after the work is done, with nothing half-updated.

template <typename Result, typename Work>
Result Guarded(const char *operation, Result failed, Work work) {
  return rfcfiles::Guarded(
      operation, failed, work,
      [](const char *name, const char *what) { Binding::Instance().RecordInternal(name, what); },
      [] { return Binding::Instance().Handler(); });
}

void RFC_CALL Environment(RFC_ENV *environment) { Binding::Instance().SetEnvironment(environment); }

RFC_HANDLE RFC_CALL Open(RFC_OPTIONS *options) {
  return Guarded("RfcOpen", RFC_HANDLE{0},
                 [&](bool &violation) { return Binding::Instance().Open(options, violation); });
}

RFC_HANDLE RFC_CALL OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info) {
  return Guarded("RfcOpenEx", RFC_HANDLE{0}, [&](bool &violation) {
    return Binding::Instance().OpenEx(connect_text, error_info, violation);
  });
}

RFC_RC RFC_CALL InstallStructure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned entries,
                                 RFC_TYPEHANDLE *type_handle) {
  return Guarded("RfcInstallStructure", RFC_RC{RFC_FAILURE}, [&](bool &) {
    return Binding::Instance().InstallStructure(name, elements, entries, type_handle);
  });
}

RFC_RC RFC_CALL Call(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting,
                     RFC_TABLE *tables) {
  return Guarded("RfcCall", RFC_RC{RFC_FAILURE}, [&](bool &) {
    return Binding::Instance().Call(handle, function, exporting, tables);
  });
}

RFC_RC RFC_CALL Receive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                        char **exception) {
  return Guarded("RfcReceive", RFC_RC{RFC_FAILURE}, [&](bool &violation) {
    return Binding::Instance().Receive(handle, importing, tables, exception, violation);
  });
}

ITAB_H RFC_CALL TableCreate(char *name, unsigned length, unsigned, unsigned) {
  return Guarded("ItCreate", ITAB_H{0},
                 [&](bool &) { return Binding::Instance().ItCreate(name, length); });
}

unsigned RFC_CALL TableFill(ITAB_H table) {
  return Guarded("ItFill", 0u, [&](bool &) { return Binding::Instance().ItFill(table); });
}

void *RFC_CALL TableGetLine(ITAB_H table, unsigned line) {
  return Guarded("ItGetLine", static_cast<void *>(nullptr),
                 [&](bool &) { return Binding::Instance().ItGetLine(table, line); });
}

int RFC_CALL TableDelete(ITAB_H table) {
  return Guarded("ItDelete", 1, [&](bool &) { return Binding::Instance().ItDelete(table); });
}

int RFC_CALL LastError(RFC_ERROR_INFO *record) { return Binding::Instance().LastError(record); }

void RFC_CALL Close(RFC_HANDLE handle) {
  Guarded("RfcClose", 0, [&](bool &) {
    Binding::Instance().Close(handle);
    return 0;
  });
}

long long StepLimit(RfcWait wait, RFC_HANDLE handle) {
  return Guarded("StepLimit", -1LL,
                 [&](bool &) { return Binding::Instance().StepLimit(wait, handle); });
}

void Overrun(RfcWait, RFC_HANDLE) { Binding::Instance().Overrun(); }

} // namespace

ClassicOutcome ClassicInvokeOutcome(nwrfc::Rc code) {
  ClassicOutcome outcome;
  switch (code) {
  case nwrfc::kOk:
    outcome.code = RFC_OK;
    break;
  case nwrfc::kAbapException:
    outcome.code = RFC_EXCEPTION;
    break;
  case nwrfc::kAbapRuntimeFailure:
  case nwrfc::kAbapMessage:
  case nwrfc::kAbapClassException:
    outcome.code = RFC_SYS_EXCEPTION;
    outcome.connection_closed = true;
    break;
  case nwrfc::kVersionMismatch:
  case nwrfc::kInvalidProtocol:
  case nwrfc::kSerializationFailure:
    // Data from the partner the library could not read: the classic library calls the error
    // handler for such a protocol violation.
    outcome.protocol_violation = true;
    outcome.connection_closed = true;
    break;
  case nwrfc::kCommunicationFailure:
  case nwrfc::kClosed:
  case nwrfc::kCanceled:
  case nwrfc::kTimeout:
  case nwrfc::kExternalFailure:
  case nwrfc::kInvalidHandle:
    outcome.connection_closed = true;
    break;
  default:
    break;
  }
  return outcome;
}

const RfcLibrary *BindNwRfcLibrary(const NwRfcFunctions &functions, Platform &files) {
  static const RfcLibrary library = {
      Environment, Open,         OpenEx,      InstallStructure, Call,  Receive,   TableCreate,
      TableFill,   TableGetLine, TableDelete, LastError,        Close, StepLimit, Overrun,
  };
  Binding::Instance().Reset(functions, files);
  return &library;
}

const RfcLibrary *BindNwRfcLibrary(const NwRfcFunctions &functions) {
  static const std::unique_ptr<Platform> system = MakeSystemPlatform(SystemDriveRoot());
  return BindNwRfcLibrary(functions, *system);
}

} // namespace kestrovan::nwbinding
