// The classic operations over the NetWeaver library. The classic interface is 8-bit, two-step
// (RfcCall sends, RfcReceive waits) and knows structures only by the layouts the program
// installs; the NetWeaver one is UTF-16, one-step (RfcInvoke) and reads its layouts from the
// system. So RfcCall prepares the function and RfcReceive invokes it and copies the values into
// the classic buffers by the installed field names and lengths.
#include "rfc/nwrfc_binding.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/text_pieces.h"
#include "rfc/nwrfc_config.h"
#include "rfc/nwrfc_text.h"

namespace kestrovan {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Classic type codes the binding moves besides those the program's header names.
constexpr unsigned kTypeNum = 6;
constexpr unsigned kTypeInt2 = 9;
constexpr unsigned kTypeInt1 = 10;

/// Type codes are small; installed structures get handles from here on, so a parameter's type
/// field tells one from the other.
constexpr RFC_TYPEHANDLE kFirstStructureHandle = 256;
constexpr std::size_t kMaxElements = 4096;
constexpr unsigned kMaxLineLength = 65535;
constexpr std::size_t kMaxRows = 16u * 1024u * 1024u;
constexpr std::size_t kMaxConnections = 64;
/// A value longer than the caller's field is read whole, then cut as the classic library cuts;
/// nothing larger than this is ever asked for.
constexpr unsigned kLargestCharsBuffer = 1u << 20;

constexpr std::string_view kTraceFile = "Dev_Rfc.Trc";
constexpr std::size_t kTraceKeyWidth = 12;

// Keys of the failures the binding finds itself, in the classic library's style.
constexpr std::string_view kKeyCommunication = "RFC_ERROR_COMMUNICATION";
constexpr std::string_view kKeyParameter = "RFC_ERROR_INVALID_PARAMETER";
constexpr std::string_view kKeyHandle = "RFC_ERROR_INVALID_HANDLE";
constexpr std::string_view kKeyConfiguration = "RFC_ERROR_CONFIGURATION";
constexpr std::string_view kKeyInternal = "RFC_ERROR_INTERNAL";

/// The reason a call the watchdog ended shows on the trace's ERROR line, as the classic
/// library's own receive timeout reads.
constexpr std::string_view kReasonTimeout = "timeout during receive";

constexpr std::array<std::string_view, 34> kRcNames = {
    "RFC_OK",
    "RFC_COMMUNICATION_FAILURE",
    "RFC_LOGON_FAILURE",
    "RFC_ABAP_RUNTIME_FAILURE",
    "RFC_ABAP_MESSAGE",
    "RFC_ABAP_EXCEPTION",
    "RFC_CLOSED",
    "RFC_CANCELED",
    "RFC_TIMEOUT",
    "RFC_MEMORY_INSUFFICIENT",
    "RFC_VERSION_MISMATCH",
    "RFC_INVALID_PROTOCOL",
    "RFC_SERIALIZATION_FAILURE",
    "RFC_INVALID_HANDLE",
    "RFC_RETRY",
    "RFC_EXTERNAL_FAILURE",
    "RFC_EXECUTED",
    "RFC_NOT_FOUND",
    "RFC_NOT_SUPPORTED",
    "RFC_ILLEGAL_STATE",
    "RFC_INVALID_PARAMETER",
    "RFC_CODEPAGE_CONVERSION_FAILURE",
    "RFC_CONVERSION_FAILURE",
    "RFC_BUFFER_TOO_SMALL",
    "RFC_TABLE_MOVE_BOF",
    "RFC_TABLE_MOVE_EOF",
    "RFC_START_SAPGUI_FAILURE",
    "RFC_ABAP_CLASS_EXCEPTION",
    "RFC_UNKNOWN_ERROR",
    "RFC_AUTHORIZATION_FAILURE",
    "RFC_AUTHENTICATION_FAILURE",
    "RFC_CRYPTOLIB_FAILURE",
    "RFC_IO_FAILURE",
    "RFC_LOCKING_FAILURE",
};

constexpr std::array<std::string_view, 11> kGroupNames = {
    "OK",
    "ABAP_APPLICATION_FAILURE",
    "ABAP_RUNTIME_FAILURE",
    "LOGON_FAILURE",
    "COMMUNICATION_FAILURE",
    "EXTERNAL_RUNTIME_FAILURE",
    "EXTERNAL_APPLICATION_FAILURE",
    "EXTERNAL_AUTHORIZATION_FAILURE",
    "EXTERNAL_AUTHENTICATION_FAILURE",
    "CRYPTOLIB_FAILURE",
    "LOCKING_FAILURE",
};

std::string GroupName(nwrfc::Group group) {
  const auto index = static_cast<std::size_t>(group);
  return index < kGroupNames.size() ? std::string(kGroupNames[index])
                                    : "group " + std::to_string(static_cast<int>(group));
}

void CopyText(char *target, std::size_t size, std::string_view text) {
  const std::size_t length = std::min(text.size(), size - 1);
  std::copy_n(text.begin(), length, target);
  std::fill(target + length, target + size, '\0');
}

/// A text of the library with the password, should it ever appear there, masked.
std::string Masked(std::string text, std::string_view password) {
  if (password.empty()) return text;
  for (std::size_t at = text.find(password); at != std::string::npos;
       at = text.find(password, at + password.size()))
    text.replace(at, password.size(), password.size(), '*');
  return text;
}

std::string Narrow(const char16_t *text, std::size_t units) {
  return NarrowToAnsi(TerminatedText(text, units));
}

std::string TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return std::string(text);
}

std::string ParameterName(const void *name, unsigned length) {
  if (name == nullptr) return {};
  const char *text = static_cast<const char *>(name);
  return length > 0 ? std::string(text, length) : std::string(text);
}

bool IsCharacterType(unsigned type) {
  return type == TYPC || type == TYPDATE || type == TYPTIME || type == kTypeNum;
}

bool IsIntegerType(unsigned type) {
  return type == TYPINT || type == kTypeInt2 || type == kTypeInt1;
}

/// The length a type code fixes, or 0 when any length will do.
unsigned FixedLength(unsigned type) {
  switch (type) {
  case TYPDATE:
    return 8;
  case TYPTIME:
    return 6;
  case TYPINT:
    return 4;
  case kTypeInt2:
    return 2;
  case kTypeInt1:
    return 1;
  default:
    return 0;
  }
}

/// Local time as the classic trace writes it.
std::string Stamp(const std::tm &time, const char *format) {
  std::array<char, 64> buffer{};
  const std::size_t size = std::strftime(buffer.data(), buffer.size(), format, &time);
  return std::string(buffer.data(), size);
}

std::string Clean(std::string_view text) {
  std::string out(text);
  for (char &c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return out;
}

void TraceLine(std::string &block, std::string_view key, std::string_view value) {
  std::string line(key);
  line.resize(kTraceKeyWidth, ' ');
  block += line;
  block += Clean(value);
  block += '\n';
}

// ---------------------------------------------------------------------------------------------
// The watchdog: the NetWeaver library has no call timeout, so a second thread ends a call that
// runs past its deadline with RfcCancel. Stop() waits for a cancel under way, so the connection
// is never cancelled after the caller has moved on to close it.

class CallWatch {
public:
  CallWatch(nwrfc::CancelFn cancel, nwrfc::ConnectionHandle connection, Clock::time_point deadline)
      : thread_([this, cancel, connection, deadline] {
          std::unique_lock lock(mutex_);
          if (wake_.wait_until(lock, deadline, [this] { return stopped_; })) return;
          fired_ = true;
          nwrfc::ErrorInfo ignored{};
          cancel(connection, &ignored);
        }) {}
  ~CallWatch() { Stop(); }
  CallWatch(const CallWatch &) = delete;
  CallWatch &operator=(const CallWatch &) = delete;

  /// True when the deadline passed and the call was cancelled.
  bool Stop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    return fired_;
  }

private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
  bool fired_ = false;
  std::thread thread_; // last: it starts once the members it uses exist
};

/// An open that runs on a thread of its own, since RfcCancel cannot reach a connection that does
/// not exist yet: the caller waits up to its limit and then leaves it; an open that succeeds
/// after that is closed by its own thread.
struct OpenJob {
  std::vector<std::u16string> names;
  std::vector<std::u16string> values;
  std::vector<nwrfc::ConnectionParameter> parameters;
  nwrfc::OpenConnectionFn open = nullptr;
  nwrfc::CloseConnectionFn close = nullptr;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  nwrfc::ConnectionHandle handle = nullptr;
  nwrfc::ErrorInfo error{};
};

// ---------------------------------------------------------------------------------------------

struct Element {
  std::string name;
  std::u16string wide_name;
  unsigned type = 0;
  unsigned length = 0;
  unsigned offset = 0;
};

struct Structure {
  std::string name;
  std::vector<Element> elements;
  unsigned record_length = 0;
};

struct InternalTable {
  std::string name;
  unsigned line_length = 0;
  /// A deque keeps every row where it is while rows are added, as ItGetLine's addresses must.
  std::deque<std::vector<std::uint8_t>> rows;
};

struct Connection {
  nwrfc::ConnectionHandle nw = nullptr;
  std::string partner;
  /// When the connection's time as a whole runs out.
  Clock::time_point end;
  milliseconds call_limit{};
  /// The function of a call that waits for RfcReceive, and its name.
  nwrfc::ContainerHandle pending = nullptr;
  std::string function;
  bool call_pending = false;
  /// The system does not know the function: reported at RfcReceive, as the classic library does.
  std::optional<nwrfc::ErrorInfo> lookup_failure;
};

/// How a failure is reported: the record RfcLastError hands out, and the trace block.
struct Report {
  RFC_ERROR_INFO record{};
  std::string location;
  std::string error;
  std::string detail;
  int rc = RFC_FAILURE;
};

enum class Got { Value, Absent, Failed };

/// Where one received value goes once every value has arrived: nothing is written into the
/// caller's memory before the whole answer was read.
struct PendingValue {
  std::uint8_t *target = nullptr;
  std::vector<std::uint8_t> bytes;
};

struct PendingTable {
  InternalTable *table = nullptr;
  std::deque<std::vector<std::uint8_t>> rows;
};

class Binding {
public:
  static Binding &Instance() {
    static Binding binding;
    return binding;
  }

  void Reset(const NwRfcFunctions &functions) {
    fn_ = functions;
    handler_ = nullptr;
    connections_.clear();
    next_handle_ = 1;
    structures_.clear();
    tables_.clear();
    next_table_ = 1;
    last_ = RFC_ERROR_INFO{};
    counter_ = 0;
    password_.clear();
    exception_.clear();
    release_ = "0,0,0";
    if (fn_.GetVersion) {
      unsigned major = 0, minor = 0, patch = 0;
      fn_.GetVersion(&major, &minor, &patch);
      release_ = std::to_string(major) + "," + std::to_string(minor) + "," + std::to_string(patch);
    }
  }

  void SetEnvironment(const RFC_ENV *environment) {
    handler_ = environment ? environment->errorhandler : nullptr;
  }

  void CallHandler(const char *operation) const {
    if (handler_ == nullptr) return;
    std::array<char, 64> name{};
    CopyText(name.data(), name.size(), operation);
    handler_(name.data());
  }

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
    if (record == nullptr) return 1;
    *record = last_;
    return 0;
  }
  void Close(RFC_HANDLE handle);

  void RecordInternal(const char *operation, const char *what) {
    Own(operation, "", kKeyInternal, what, "");
  }

private:
  using Parameters = std::vector<std::pair<std::string, std::string>>;

  /// Records a failure the binding found itself.
  void Own(std::string_view operation, std::string_view where, std::string_view key,
           std::string_view reason, std::string_view detail, int rc = RFC_FAILURE) {
    Report report;
    const std::string location =
        where.empty() ? std::string(operation) : std::string(operation) + " " + std::string(where);
    CopyText(report.record.key, sizeof report.record.key, key);
    CopyText(report.record.status, sizeof report.record.status, reason);
    CopyText(report.record.message, sizeof report.record.message,
             detail.empty() ? std::string(reason)
                            : std::string(reason) + ": " + std::string(detail));
    CopyText(report.record.intstat, sizeof report.record.intstat, location);
    report.location = location;
    report.error = reason;
    report.detail = detail;
    report.rc = rc;
    Keep(report);
  }

  /// Records a failure the NetWeaver library reported; `reason` replaces its message on the
  /// trace's ERROR line when the binding knows better (its own timeout).
  void FromLibrary(std::string_view operation, std::string_view where,
                   const nwrfc::ErrorInfo &error, int rc, std::string_view reason = {},
                   std::string_view note = {}) {
    Report report;
    report.record = ClassicErrorRecord(error, operation, password_);
    report.location =
        where.empty() ? std::string(operation) : std::string(operation) + " " + std::string(where);
    const std::string message = Masked(Narrow(error.message, std::size(error.message)), password_);
    const std::string key = Masked(Narrow(error.key, std::size(error.key)), password_);
    report.error = !reason.empty()    ? std::string(reason)
                   : !message.empty() ? message
                   : !key.empty()     ? key
                                      : std::string(NwRcName(error.code));
    report.detail = note.empty() ? std::string() : std::string(note) + "; ";
    report.detail += std::string(NwRcName(error.code)) + ", group " + GroupName(error.group);
    if (!key.empty()) report.detail += ", key " + key;
    if (!reason.empty() && !message.empty()) report.detail += ": " + message;
    report.rc = rc;
    Keep(report);
  }

  void Keep(const Report &report) {
    last_ = report.record;
    AppendTrace(report);
  }

  /// One block in the classic library's trace format, so the program reads its ERROR line as it
  /// reads the classic library's. A file that cannot be written is skipped: tracing must never
  /// become a failure of its own.
  void AppendTrace(const Report &report) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm *converted = std::localtime(&now)) local = *converted;
    std::string block = "**** ERROR file opened at " + Stamp(local, "%Y%m%d %H%M%S") + " " +
                        Clean(Stamp(local, "%Z").substr(0, 15)) + ", SAP-REL " + release_ +
                        " RFC-VER 3 NWRFC\n";
    TraceLine(block, "LOCATION", report.location);
    TraceLine(block, "ERROR", report.error);
    TraceLine(block, "TIME", Stamp(local, "%a %b %d %H:%M:%S %Y"));
    TraceLine(block, "RELEASE", release_.substr(0, release_.find(',')));
    TraceLine(block, "COMPONENT", "NW RFC binding");
    TraceLine(block, "VERSION", "3");
    TraceLine(block, "RC", std::to_string(report.rc));
    if (!report.detail.empty()) TraceLine(block, "DETAIL", report.detail);
    TraceLine(block, "COUNTER", std::to_string(++counter_));
    block += '\n';
    // Text mode on purpose: on Windows the file gets CR LF line ends, as the classic one has.
    std::ofstream file{std::string(kTraceFile), std::ios::app};
    if (file) file << block;
  }

  Connection *Find(RFC_HANDLE handle) {
    const auto found = connections_.find(handle);
    return found == connections_.end() ? nullptr : &found->second;
  }

  /// Ends a connection for the caller. After some errors the library has closed it already;
  /// it is closed again only when the library still lists it.
  void Release(Connection &connection) {
    nwrfc::ErrorInfo ignored{};
    if (connection.pending) fn_.DestroyFunction(connection.pending, &ignored);
    connection.pending = nullptr;
    bool listed = true;
    if (fn_.IsConnectionHandleValid) {
      int valid = 0;
      listed =
          fn_.IsConnectionHandleValid(connection.nw, &valid, &ignored) == nwrfc::kOk && valid != 0;
    }
    if (listed) fn_.CloseConnection(connection.nw, &ignored);
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
      if (!connection->function.empty()) where += " (" + connection->function + ")";
    }
    return where;
  }

  RFC_HANDLE OpenWith(const char *operation, const Parameters &parameters,
                      const std::string &partner, nwrfc::ErrorInfo &error, bool &violation,
                      bool &reported);
  Got ReadChars(nwrfc::ContainerHandle container, const std::u16string &name, unsigned length,
                std::uint8_t *target, nwrfc::ErrorInfo &error) const;
  Got ReadField(nwrfc::ContainerHandle container, const std::u16string &name, unsigned type,
                unsigned length, std::uint8_t *target, nwrfc::ErrorInfo &error) const;
  Got ReadStructure(nwrfc::ContainerHandle container, const Structure &structure,
                    std::uint8_t *record, nwrfc::ErrorInfo &error) const;
  nwrfc::Rc WriteField(nwrfc::ContainerHandle container, const std::u16string &name, unsigned type,
                       unsigned length, const std::uint8_t *source, nwrfc::ErrorInfo &error) const;
  const Structure *StructureOf(unsigned type) const {
    if (type < kFirstStructureHandle || type - kFirstStructureHandle >= structures_.size())
      return nullptr;
    return &structures_[type - kFirstStructureHandle];
  }
  InternalTable *TableOf(ITAB_H handle) {
    const auto found = tables_.find(handle);
    return found == tables_.end() ? nullptr : &found->second;
  }
  bool CheckParameters(const RFC_PARAMETER *list, std::string &problem) const;
  bool CheckTables(const RFC_TABLE *list, std::string &problem);

  NwRfcFunctions fn_{};
  RFC_ERROR_HANDLER handler_ = nullptr;
  std::map<RFC_HANDLE, Connection> connections_;
  RFC_HANDLE next_handle_ = 1;
  std::vector<Structure> structures_;
  std::map<ITAB_H, InternalTable> tables_;
  ITAB_H next_table_ = 1;
  RFC_ERROR_INFO last_{};
  unsigned counter_ = 0;
  /// The password of the latest open, so that no text of the library can carry it on.
  std::string password_;
  /// The exception name RfcReceive hands out; valid until the next receive.
  std::string exception_;
  std::string release_ = "0,0,0";
};

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
  std::string content;
  if (std::ifstream file{std::string(kNwRfcLimitsFile), std::ios::binary}) {
    std::ostringstream buffer;
    buffer << file.rdbuf();
    content = buffer.str();
  }
  const NwRfcLimits limits = ParseNwRfcLimits(content);
  const Clock::time_point start = Clock::now();

  auto job = std::make_shared<OpenJob>();
  job->open = fn_.OpenConnection;
  job->close = fn_.CloseConnection;
  for (const auto &[name, value] : parameters) {
    job->names.push_back(WidenAnsi(name));
    job->values.push_back(WidenAnsi(value));
  }
  for (std::size_t i = 0; i < parameters.size(); ++i)
    job->parameters.push_back({job->names[i].c_str(), job->values[i].c_str()});
  std::thread([job] {
    nwrfc::ErrorInfo outcome{};
    const nwrfc::ConnectionHandle handle =
        job->open(job->parameters.data(), static_cast<unsigned>(job->parameters.size()), &outcome);
    std::lock_guard lock(job->mutex);
    if (job->abandoned) {
      nwrfc::ErrorInfo ignored{};
      if (handle) job->close(handle, &ignored);
      return;
    }
    job->handle = handle;
    job->error = outcome;
    job->done = true;
    job->finished.notify_all();
  }).detach();

  const milliseconds limit = std::min(limits.connect, limits.connection);
  {
    std::unique_lock lock(job->mutex);
    if (!job->finished.wait_for(lock, limit, [&] { return job->done; })) {
      job->abandoned = true;
      lock.unlock();
      Own(operation, "to " + partner, kKeyCommunication, "timeout during open",
          "no logon answer within " + std::to_string(limit.count()) + " ms");
      reported = true;
      return 0;
    }
  }
  if (job->handle == nullptr) {
    error = job->error;
    violation = ClassicInvokeOutcome(error.code).protocol_violation;
    return 0;
  }
  while (next_handle_ == 0 || connections_.count(next_handle_) != 0)
    ++next_handle_;
  const RFC_HANDLE handle = next_handle_++;
  Connection &connection = connections_[handle];
  connection.nw = job->handle;
  connection.partner = partner;
  connection.end = start + limits.connection;
  connection.call_limit = limits.call;
  return handle;
}

RFC_HANDLE Binding::Open(const RFC_OPTIONS *options, bool &violation) {
  std::string problem;
  if (options == nullptr)
    problem = "no options record";
  else if (options->connopt == nullptr)
    problem = "no connection options";
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
  if (host.empty())
    problem = "no application server host given";
  else if (server->sysnr < 0 || server->sysnr > 99)
    problem = "system number " + std::to_string(server->sysnr) + " is not 00..99";
  if (!problem.empty()) {
    Own("RfcOpen", "", kKeyParameter, "invalid connection options", problem);
    return 0;
  }
  std::array<char, 3> sysnr{};
  sysnr[0] = static_cast<char>('0' + server->sysnr / 10);
  sysnr[1] = static_cast<char>('0' + server->sysnr % 10);
  const auto text = [](const char *value) { return value ? std::string(value) : std::string(); };
  password_ = TrimTrailingBlanks(text(options->password));
  Parameters parameters = {{"ASHOST", host},
                           {"SYSNR", sysnr.data()},
                           {"CLIENT", text(options->client)},
                           {"USER", TrimTrailingBlanks(text(options->user))},
                           {"PASSWD", password_}};
  if (!text(options->language).empty()) parameters.emplace_back("LANG", text(options->language));
  const std::string partner = "ASHOST " + host + " SYSNR " + sysnr.data();
  nwrfc::ErrorInfo error{};
  bool reported = false;
  const RFC_HANDLE handle = OpenWith("RfcOpen", parameters, partner, error, violation, reported);
  if (handle == 0 && !reported) FromLibrary("RfcOpen", "to " + partner, error, RFC_FAILURE);
  return handle;
}

RFC_HANDLE Binding::OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info,
                           bool &violation) {
  ConnectValues given;
  ConnectValues values;
  std::string problem;
  bool usable = connect_text != nullptr && ParseConnectText(connect_text, given, problem);
  if (connect_text == nullptr) problem = "no connect text";
  const std::string destination = given.count("DEST") ? given["DEST"] : "";
  if (usable && !destination.empty()) {
    std::string content;
    bool read = false;
    for (const std::string_view name : {kDestinationFile, kDestinationFileLower}) {
      if (std::ifstream file{std::string(name), std::ios::binary}) {
        std::ostringstream buffer;
        buffer << file.rdbuf();
        content = buffer.str();
        read = true;
        break;
      }
    }
    if (!read) {
      problem = std::string(kDestinationFile) + " is missing in the working directory";
      usable = false;
    } else if (!FindDestinationEntry(content, destination, values)) {
      problem = "no DEST=" + destination + " entry in " + std::string(kDestinationFile);
      usable = false;
    }
  }
  // Values of the connect text win over those of the destination entry.
  for (const auto &[key, value] : given)
    values[key] = value;
  const auto value = [&](const char *key) {
    const auto found = values.find(key);
    return found == values.end() ? std::string() : found->second;
  };
  Parameters parameters;
  std::string partner;
  const std::string type = UpperAscii(value("TYPE"));
  if (usable) {
    if (type == "B" || (type.empty() && !value("MSHOST").empty())) {
      // Load balancing: the NetWeaver library asks the message server itself.
      if (value("MSHOST").empty() || value("R3NAME").empty()) {
        problem = "load balancing (TYPE=B) needs MSHOST and R3NAME";
        usable = false;
      } else {
        parameters = {{"MSHOST", value("MSHOST")},
                      {"R3NAME", value("R3NAME")},
                      {"GROUP", value("GROUP").empty() ? "PUBLIC" : value("GROUP")}};
        if (!value("MSSERV").empty()) parameters.emplace_back("MSSERV", value("MSSERV"));
        partner = "MSHOST " + value("MSHOST") + " R3NAME " + value("R3NAME");
      }
    } else if (!type.empty() && type != "A") {
      problem = "connection TYPE=" + type + " is not supported";
      usable = false;
    } else {
      const std::string host = value("ASHOST");
      const std::string sysnr = value("SYSNR");
      const bool two_digits = sysnr.size() == 2 &&
                              std::isdigit(static_cast<unsigned char>(sysnr[0])) &&
                              std::isdigit(static_cast<unsigned char>(sysnr[1]));
      if (host.empty()) {
        problem = "no ASHOST given";
        usable = false;
      } else if (!two_digits) {
        problem = sysnr.empty() ? "no SYSNR given" : "SYSNR " + sysnr + " is not 00..99";
        usable = false;
      } else {
        parameters = {{"ASHOST", host}, {"SYSNR", sysnr}};
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
    password_ = TrimTrailingBlanks(value("PASSWD"));
    parameters.emplace_back("CLIENT", value("CLIENT"));
    parameters.emplace_back("USER", TrimTrailingBlanks(value("USER")));
    parameters.emplace_back("PASSWD", password_);
    if (!value("LANG").empty()) parameters.emplace_back("LANG", value("LANG"));
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
    CopyText(error_info->key, sizeof error_info->key, last_.key);
    CopyText(error_info->message, sizeof error_info->message, last_.message);
  }
  return handle;
}

RFC_RC Binding::InstallStructure(const char *name, const RFC_TYPE_ELEMENT *elements,
                                 unsigned entries, RFC_TYPEHANDLE *type_handle) {
  std::string problem;
  Structure structure;
  structure.name = name ? name : "";
  if (type_handle == nullptr)
    problem = "no place for the type handle";
  else if (structure.name.empty())
    problem = "no structure name";
  else if (elements == nullptr || entries == 0 || entries > kMaxElements)
    problem = structure.name + ": " + std::to_string(entries) + " elements, 1.." +
              std::to_string(kMaxElements) + " allowed";
  bool all_offsets_zero = true;
  for (unsigned i = 0; problem.empty() && i < entries; ++i) {
    const RFC_TYPE_ELEMENT &given = elements[i];
    Element element;
    element.name = given.name ? given.name : "";
    element.wide_name = WidenAnsi(element.name);
    element.type = given.type;
    element.length = given.length;
    element.offset = given.offset;
    all_offsets_zero = all_offsets_zero && given.offset == 0;
    if (element.name.empty())
      problem = structure.name + ": an element without a name";
    else if (!IsCharacterType(given.type) && !IsIntegerType(given.type))
      problem = structure.name + "-" + element.name + ": type " + std::to_string(given.type) +
                " is not supported by the NetWeaver binding";
    else if (given.length == 0 || given.length > kMaxLineLength ||
             (FixedLength(given.type) != 0 && given.length != FixedLength(given.type)))
      problem = structure.name + "-" + element.name + ": length " + std::to_string(given.length) +
                " does not fit type " + std::to_string(given.type);
    structure.elements.push_back(std::move(element));
  }
  if (problem.empty()) {
    // Elements whose offsets are all 0 lie one after another without gaps.
    unsigned offset = 0;
    for (Element &element : structure.elements) {
      if (all_offsets_zero) element.offset = offset;
      offset = std::max(offset, element.offset + element.length);
    }
    structure.record_length = offset;
    if (structure.record_length > kMaxLineLength)
      problem = structure.name + ": a record of " + std::to_string(offset) + " bytes";
  }
  if (!problem.empty()) {
    Own("RfcInstallStructure", "", kKeyParameter, "invalid structure description", problem);
    return RFC_FAILURE;
  }
  for (std::size_t i = 0; i < structures_.size(); ++i) {
    const Structure &known = structures_[i];
    const bool same =
        known.name == structure.name && known.elements.size() == structure.elements.size() &&
        std::equal(known.elements.begin(), known.elements.end(), structure.elements.begin(),
                   [](const Element &a, const Element &b) {
                     return a.name == b.name && a.type == b.type && a.length == b.length &&
                            a.offset == b.offset;
                   });
    if (same) {
      *type_handle = kFirstStructureHandle + static_cast<RFC_TYPEHANDLE>(i);
      return RFC_OK;
    }
  }
  structures_.push_back(std::move(structure));
  *type_handle = kFirstStructureHandle + static_cast<RFC_TYPEHANDLE>(structures_.size() - 1);
  return RFC_OK;
}

nwrfc::Rc Binding::WriteField(nwrfc::ContainerHandle container, const std::u16string &name,
                              unsigned type, unsigned length, const std::uint8_t *source,
                              nwrfc::ErrorInfo &error) const {
  std::u16string text;
  if (IsCharacterType(type)) {
    text = WidenAnsi(std::string_view(reinterpret_cast<const char *>(source), length));
  } else {
    // The library converts text into a numeric field; the classic value is a native integer.
    long long number = 0;
    if (type == TYPINT) {
      std::int32_t value = 0;
      std::memcpy(&value, source, sizeof value);
      number = value;
    } else if (type == kTypeInt2) {
      std::int16_t value = 0;
      std::memcpy(&value, source, sizeof value);
      number = value;
    } else {
      number = *source;
    }
    text = WidenAnsi(std::to_string(number));
  }
  return fn_.SetChars(container, name.c_str(), text.data(), static_cast<unsigned>(text.size()),
                      &error);
}

Got Binding::ReadChars(nwrfc::ContainerHandle container, const std::u16string &name,
                       unsigned length, std::uint8_t *target, nwrfc::ErrorInfo &error) const {
  unsigned size = length;
  while (true) {
    std::u16string buffer(size, u' ');
    error = nwrfc::ErrorInfo{};
    const nwrfc::Rc rc = fn_.GetChars(container, name.c_str(), buffer.data(), size, &error);
    if (rc == nwrfc::kOk) {
      std::string text = NarrowToAnsi(buffer);
      text.resize(length, ' '); // cut as the classic library cuts, or padded with blanks
      std::memcpy(target, text.data(), length);
      return Got::Value;
    }
    // The classic library leaves a value the system does not send as it was.
    if (rc == nwrfc::kInvalidParameter) return Got::Absent;
    if (rc != nwrfc::kBufferTooSmall || size >= kLargestCharsBuffer) return Got::Failed;
    size = std::min(kLargestCharsBuffer, size * 2);
  }
}

Got Binding::ReadField(nwrfc::ContainerHandle container, const std::u16string &name, unsigned type,
                       unsigned length, std::uint8_t *target, nwrfc::ErrorInfo &error) const {
  if (IsCharacterType(type)) return ReadChars(container, name, length, target, error);
  int value = 0;
  error = nwrfc::ErrorInfo{};
  const nwrfc::Rc rc = fn_.GetInt(container, name.c_str(), &value, &error);
  if (rc == nwrfc::kInvalidParameter) return Got::Absent;
  if (rc != nwrfc::kOk) return Got::Failed;
  if (type == TYPINT) {
    const std::int32_t native = value;
    std::memcpy(target, &native, sizeof native);
  } else if (type == kTypeInt2) {
    const auto native = static_cast<std::int16_t>(value);
    std::memcpy(target, &native, sizeof native);
  } else {
    *target = static_cast<std::uint8_t>(value);
  }
  return Got::Value;
}

Got Binding::ReadStructure(nwrfc::ContainerHandle container, const Structure &structure,
                           std::uint8_t *record, nwrfc::ErrorInfo &error) const {
  for (const Element &element : structure.elements) {
    const Got got = ReadField(container, element.wide_name, element.type, element.length,
                              record + element.offset, error);
    if (got == Got::Failed) return got;
  }
  return Got::Value;
}

bool Binding::CheckParameters(const RFC_PARAMETER *list, std::string &problem) const {
  for (const RFC_PARAMETER *entry = list; entry && entry->name; ++entry) {
    const std::string name = ParameterName(entry->name, entry->nlen);
    if (entry->addr == nullptr || entry->leng == 0) {
      problem = "parameter " + name + " has no buffer";
      return false;
    }
    if (entry->type >= kFirstStructureHandle) {
      const Structure *structure = StructureOf(entry->type);
      if (structure == nullptr) {
        problem = "parameter " + name + " has an unknown structure handle";
        return false;
      }
      if (structure->record_length > entry->leng) {
        problem = "parameter " + name + ": " + std::to_string(entry->leng) + " bytes for a " +
                  structure->name + " record of " + std::to_string(structure->record_length);
        return false;
      }
    } else if (!IsCharacterType(entry->type) && !IsIntegerType(entry->type)) {
      problem = "parameter " + name + ": type " + std::to_string(entry->type) +
                " is not supported by the NetWeaver binding";
      return false;
    } else if (FixedLength(entry->type) != 0 && entry->leng != FixedLength(entry->type)) {
      problem = "parameter " + name + ": length " + std::to_string(entry->leng) +
                " does not fit type " + std::to_string(entry->type);
      return false;
    }
  }
  return true;
}

bool Binding::CheckTables(const RFC_TABLE *list, std::string &problem) {
  for (const RFC_TABLE *entry = list; entry && entry->name; ++entry) {
    const std::string name = ParameterName(entry->name, entry->nlen);
    const InternalTable *table = TableOf(entry->ithandle);
    const Structure *structure = StructureOf(entry->type);
    if (table == nullptr) {
      problem = "table " + name + " has an unknown table handle";
      return false;
    }
    if (structure == nullptr) {
      problem = "table " + name + " has no installed line structure";
      return false;
    }
    if (structure->record_length > table->line_length) {
      problem = "table " + name + ": lines of " + std::to_string(table->line_length) +
                " bytes for " + structure->name + " records of " +
                std::to_string(structure->record_length);
      return false;
    }
  }
  return true;
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
  if (name.empty())
    problem = "no function module name";
  else if (connection->call_pending)
    problem = "the call of " + connection->function + " still waits for RfcReceive";
  else if (CheckParameters(exporting, problem) && CheckTables(tables, problem)) {
    for (const RFC_TABLE *entry = tables; entry && entry->name; ++entry) {
      if (!TableOf(entry->ithandle)->rows.empty()) {
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
  bool timed_out = false;
  const Clock::time_point deadline =
      std::min(Clock::now() + connection->call_limit, connection->end);
  if (fn_.Cancel) {
    CallWatch watch(fn_.Cancel, connection->nw, deadline);
    description = fn_.GetFunctionDesc(connection->nw, wide_name.c_str(), &error);
    timed_out = watch.Stop();
  } else {
    description = fn_.GetFunctionDesc(connection->nw, wide_name.c_str(), &error);
  }
  if (description == nullptr) {
    if (error.code == nwrfc::kNotFound && !timed_out) {
      // The classic library learns of an unknown function module with the reply.
      connection->lookup_failure = error;
      connection->call_pending = true;
      return RFC_OK;
    }
    FromLibrary("RfcCall", Where(handle, connection), error, RFC_FAILURE,
                timed_out ? kReasonTimeout : std::string_view());
    if (timed_out || ClassicInvokeOutcome(error.code).connection_closed) Drop(handle);
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
    if (const Structure *structure = StructureOf(entry->type)) {
      nwrfc::ContainerHandle record = nullptr;
      rc = fn_.GetStructure(container, wide.c_str(), &record, &error);
      for (std::size_t i = 0; rc == nwrfc::kOk && i < structure->elements.size(); ++i) {
        const Element &element = structure->elements[i];
        rc = WriteField(record, element.wide_name, element.type, element.length,
                        source + element.offset, error);
      }
    } else {
      rc = WriteField(container, wide, entry->type, entry->leng, source, error);
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
  if (exception != nullptr) *exception = nullptr;
  Connection *connection = Find(handle);
  if (connection == nullptr) {
    Own("RfcReceive", Where(handle, nullptr), kKeyHandle, "invalid connection handle",
        "no open connection has handle " + std::to_string(handle));
    return RFC_FAILURE;
  }
  std::string problem;
  if (!connection->call_pending)
    problem = "no call is waiting for its reply";
  else if (CheckParameters(importing, problem))
    CheckTables(tables, problem);
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
    const Clock::time_point now = Clock::now();
    const Clock::time_point deadline = std::min(now + connection->call_limit, connection->end);
    // The connection's time may be used up already: then the watchdog cancels at once.
    limit = std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - now));
    if (fn_.Cancel) {
      CallWatch watch(fn_.Cancel, connection->nw, deadline);
      rc = fn_.Invoke(connection->nw, connection->pending, &error);
      timed_out = watch.Stop();
    } else {
      rc = fn_.Invoke(connection->nw, connection->pending, &error);
    }
  }

  if (rc == nwrfc::kOk) {
    std::vector<PendingValue> values;
    std::vector<PendingTable> rows;
    Got got = Got::Value;
    std::string failed_at;
    for (const RFC_PARAMETER *entry = importing; got != Got::Failed && entry && entry->name;
         ++entry) {
      const std::string name = ParameterName(entry->name, entry->nlen);
      const std::u16string wide = WidenAnsi(name);
      PendingValue value;
      value.target = static_cast<std::uint8_t *>(entry->addr);
      value.bytes.assign(value.target, value.target + entry->leng);
      if (const Structure *structure = StructureOf(entry->type)) {
        nwrfc::ContainerHandle record = nullptr;
        error = nwrfc::ErrorInfo{};
        const nwrfc::Rc found =
            fn_.GetStructure(connection->pending, wide.c_str(), &record, &error);
        got = found == nwrfc::kOk ? ReadStructure(record, *structure, value.bytes.data(), error)
              : found == nwrfc::kInvalidParameter ? Got::Absent
                                                  : Got::Failed;
      } else {
        got = ReadField(connection->pending, wide, entry->type, entry->leng, value.bytes.data(),
                        error);
      }
      if (got == Got::Value) values.push_back(std::move(value));
      if (got == Got::Failed) failed_at = name;
    }
    for (const RFC_TABLE *entry = tables; got != Got::Failed && entry && entry->name; ++entry) {
      const std::string name = ParameterName(entry->name, entry->nlen);
      const std::u16string wide = WidenAnsi(name);
      const Structure &structure = *StructureOf(entry->type);
      PendingTable received;
      received.table = TableOf(entry->ithandle);
      nwrfc::ContainerHandle table = nullptr;
      unsigned count = 0;
      error = nwrfc::ErrorInfo{};
      nwrfc::Rc step = fn_.GetTable(connection->pending, wide.c_str(), &table, &error);
      if (step == nwrfc::kInvalidParameter) continue; // not sent: the table stays as it was
      if (step == nwrfc::kOk) step = fn_.GetRowCount(table, &count, &error);
      if (step == nwrfc::kOk && count > kMaxRows) {
        got = Got::Failed;
        failed_at = name + " (" + std::to_string(count) + " rows)";
        break;
      }
      for (unsigned row = 0; step == nwrfc::kOk && row < count; ++row) {
        step = fn_.MoveTo(table, row, &error);
        if (step != nwrfc::kOk) break;
        std::vector<std::uint8_t> line(received.table->line_length, 0);
        for (const Element &element : structure.elements) {
          if (IsCharacterType(element.type))
            std::fill_n(line.begin() + element.offset, element.length, ' ');
        }
        if (ReadStructure(table, structure, line.data(), error) == Got::Failed) {
          step = error.code == nwrfc::kOk ? nwrfc::kUnknownError : error.code;
          break;
        }
        received.rows.push_back(std::move(line));
      }
      if (step != nwrfc::kOk) {
        got = Got::Failed;
        failed_at = name;
        break;
      }
      rows.push_back(std::move(received));
    }
    nwrfc::ErrorInfo ignored{};
    fn_.DestroyFunction(connection->pending, &ignored);
    connection->pending = nullptr;
    if (got == Got::Failed) {
      FromLibrary("RfcReceive", where + " reading " + failed_at, error, RFC_FAILURE);
      return RFC_FAILURE;
    }
    for (PendingValue &value : values)
      std::copy(value.bytes.begin(), value.bytes.end(), value.target);
    for (PendingTable &table : rows)
      table.table->rows = std::move(table.rows);
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
    exception_ = Narrow(error.key, std::size(error.key));
    if (exception_.empty()) exception_ = std::string(NwRcName(rc));
    if (exception != nullptr) *exception = exception_.data();
  }
  // The classic library closes the connection after a system exception and a failure.
  if (outcome.code != RFC_EXCEPTION) Drop(handle);
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
  while (next_table_ == 0 || tables_.count(next_table_) != 0)
    ++next_table_;
  const ITAB_H handle = next_table_++;
  InternalTable &table = tables_[handle];
  table.name = table_name;
  table.line_length = length;
  return handle;
}

unsigned Binding::ItFill(ITAB_H handle) {
  const InternalTable *table = TableOf(handle);
  if (table == nullptr) {
    Own("ItFill", "", kKeyHandle, "invalid table handle", "");
    return 0;
  }
  return static_cast<unsigned>(table->rows.size());
}

void *Binding::ItGetLine(ITAB_H handle, unsigned line) {
  InternalTable *table = TableOf(handle);
  if (table == nullptr) {
    Own("ItGetLine", "", kKeyHandle, "invalid table handle", "");
    return nullptr;
  }
  if (line == 0 || line > table->rows.size()) {
    Own("ItGetLine", "", kKeyParameter, "row does not exist",
        "table " + table->name + " has " + std::to_string(table->rows.size()) + " rows, row " +
            std::to_string(line) + " was asked for");
    return nullptr;
  }
  return table->rows[line - 1].data();
}

int Binding::ItDelete(ITAB_H handle) {
  if (tables_.erase(handle) == 0) {
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
  for (auto &[number, connection] : connections_)
    Release(connection);
  connections_.clear();
}

// ---------------------------------------------------------------------------------------------
// The entry points: the work runs guarded, so no C++ exception leaves through the C interface;
// the error handler is called after the work is done, with nothing half-updated.

template <typename Result, typename Work>
Result Guarded(const char *operation, Result failed, Work work) {
  Result result = failed;
  bool violation = false;
  try {
    result = work(violation);
  } catch (const std::bad_alloc &) {
    Binding::Instance().RecordInternal(operation, "out of memory");
    result = failed;
  } catch (const std::exception &error) {
    Binding::Instance().RecordInternal(operation, error.what());
    result = failed;
  }
  if (violation) Binding::Instance().CallHandler(operation);
  return result;
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

} // namespace

std::string_view NwRcName(nwrfc::Rc code) {
  const auto index = static_cast<std::size_t>(code);
  return index < kRcNames.size() ? kRcNames[index] : std::string_view("RFC_UNKNOWN_ERROR");
}

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

RFC_ERROR_INFO ClassicErrorRecord(const nwrfc::ErrorInfo &error, std::string_view operation,
                                  std::string_view password) {
  RFC_ERROR_INFO record{};
  std::string key = Masked(Narrow(error.key, std::size(error.key)), password);
  if (key.empty()) key = std::string(NwRcName(error.code));
  std::string internal = std::string(operation) + " group " + GroupName(error.group);
  const std::string message_id = Narrow(error.abapMsgClass, std::size(error.abapMsgClass));
  if (!message_id.empty()) {
    internal += " message " + Narrow(error.abapMsgType, std::size(error.abapMsgType)) + " " +
                message_id + " " + Narrow(error.abapMsgNumber, std::size(error.abapMsgNumber));
  }
  CopyText(record.key, sizeof record.key, key);
  CopyText(record.status, sizeof record.status, NwRcName(error.code));
  CopyText(record.message, sizeof record.message,
           Masked(Narrow(error.message, std::size(error.message)), password));
  CopyText(record.intstat, sizeof record.intstat, internal);
  return record;
}

const RfcLibrary *BindNwRfcLibrary(const NwRfcFunctions &functions) {
  static const RfcLibrary library = {
      Environment, Open,      OpenEx,       InstallStructure, Call,      Receive,
      TableCreate, TableFill, TableGetLine, TableDelete,      LastError, Close,
  };
  Binding::Instance().Reset(functions);
  return &library;
}

} // namespace kestrovan
