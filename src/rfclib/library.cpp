// Entry-point work: argument checks, connection bookkeeping, and recording every failure.
#include "rfclib/library.h"

#include <algorithm>

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/connect_data.h"
#include "rfcfiles/destination_file.h"
#include "rfcfiles/file_names.h"
#include "rfclib/parameters.h"
#include "rfclib/settings.h"
#include "rfclib/trace_file.h"
#include "wire/text_util.h"

namespace rfclib {
namespace {

std::string_view Text(const char *text) { return text == nullptr ? std::string_view() : text; }

void CopyText(char *target, std::size_t size, const std::string &text) {
  const std::size_t length = std::min(text.size(), size - 1);
  std::copy_n(text.begin(), length, target);
  std::fill(target + length, target + size, '\0');
}

using Settings = rfcfiles::ConnectValues;

std::string Lookup(const Settings &settings, const char *key) {
  const auto found = settings.find(key);
  return found == settings.end() ? std::string() : found->second;
}

/// The stand-in reads the destination file as every file of its own.
rfcfiles::FileRead ReadLibraryFile(std::string_view name, std::string &content) {
  return rfcfiles::ReadTextFile(std::string(name), rfcfiles::kLargestSettingsFile, content);
}

/// The trace's reason for a destination that could not be looked up.
std::string LookupReason(rfcfiles::EntryLookup result, const std::string &destination) {
  switch (result) {
  case rfcfiles::EntryLookup::FileMissing:
    return "destination file not found";
  case rfcfiles::EntryLookup::FileTooLarge:
    return "destination file too large";
  case rfcfiles::EntryLookup::NoEntry:
    return "destination " + destination + " not found";
  case rfcfiles::EntryLookup::Found:
    break;
  }
  return "";
}

// Logon values come padded to SAP's field widths; the padding is not sent.
bool MakeLogon(std::string_view destination, std::string_view client, std::string_view user,
               std::string_view password, std::string_view language, rfcwire::LogonRequest &logon,
               std::string &problem) {
  const std::pair<std::string_view, std::string *> fields[] = {{destination, &logon.destination},
                                                               {client, &logon.client},
                                                               {user, &logon.user},
                                                               {password, &logon.password},
                                                               {language, &logon.language}};
  const char *names[] = {"destination", "client", "user", "password", "language"};
  for (std::size_t i = 0; i < std::size(fields); ++i) {
    const std::string_view value = rfcwire::TrimTrailingBlanks(fields[i].first);
    if (value.size() > rfcwire::kMaxNameLength) {
      problem = std::string("the ") + names[i] + " is longer than " +
                std::to_string(rfcwire::kMaxNameLength) + " characters";
      return false;
    }
    fields[i].second->assign(value);
  }
  return true;
}

int ErrorGroup(const std::string &key) {
  if (key == kKeyLogon) {
    return 2;
  }
  if (key == kKeyCommunication || key == kKeyProtocol || key == kKeySystemFailure) {
    return 1;
  }
  return 3;
}

} // namespace

Library &Library::Instance() {
  static Library library;
  return library;
}

void Library::SetEnvironment(const RFC_ENV *environment) {
  handler_ = environment == nullptr ? nullptr : environment->errorhandler;
}

void Library::Record(const std::string &operation, const Failure &failure, int rc,
                     const std::string &where) {
  last_.key = failure.key;
  last_.status = failure.reason;
  last_.message = failure.detail.empty() ? failure.reason : failure.reason + ": " + failure.detail;
  last_.intstat = where.empty() ? operation : operation + " " + where;
  TraceEntry entry;
  entry.location = last_.intstat;
  entry.error = failure.reason;
  entry.rc = rc;
  entry.detail = failure.detail;
  AppendTraceBlock(entry, ++trace_counter_);
}

void Library::RecordInternal(const char *operation, const char *what) {
  Record(operation, MakeFailure(kKeyInternal, what), RFC_FAILURE, "");
}

Connection *Library::Find(RFC_HANDLE handle) {
  const auto found = connections_.find(handle);
  return found == connections_.end() ? nullptr : found->second.get();
}

void Library::Drop(RFC_HANDLE handle) {
  const auto found = connections_.find(handle);
  if (found != connections_.end()) {
    found->second->Abandon();
    connections_.erase(found);
  }
}

RFC_RC Library::Fail(const char *operation, RFC_HANDLE handle, const Failure &failure,
                     bool &violation) {
  std::string where = "handle " + std::to_string(handle);
  const Connection *connection = Find(handle);
  if (connection != nullptr) {
    where += " to " + connection->Partner();
  }
  Record(operation, connection != nullptr ? connection->Masked(failure) : failure, RFC_FAILURE,
         where);
  if (failure.connection_lost) {
    Drop(handle);
  }
  violation = failure.protocol_violation;
  return RFC_FAILURE;
}

RFC_HANDLE Library::OpenAt(const char *operation, const Endpoint &endpoint,
                           const rfcwire::LogonRequest &logon, Failure &failure) {
  if (connections_.size() >= kMaxConnections) {
    failure = MakeFailure(kKeyInternal, "too many open connections",
                          std::to_string(kMaxConnections) + " are open");
    Record(operation, failure, RFC_FAILURE, "to " + endpoint.Describe());
    return 0;
  }
  const rfcfiles::StandinSettings settings = ReadSettings(std::string(kSettingsFileName));
  std::unique_ptr<Connection> connection =
      Connection::Open(endpoint, logon, settings.limits, settings.reach, failure);
  if (!connection) {
    MaskPassword(failure.reason, logon.password);
    MaskPassword(failure.detail, logon.password);
    Record(operation, failure, RFC_FAILURE, "to " + endpoint.Describe());
    return 0;
  }
  while (next_handle_ == 0 || connections_.count(next_handle_) != 0) {
    ++next_handle_;
  }
  const RFC_HANDLE handle = next_handle_++;
  connections_.emplace(handle, std::move(connection));
  return handle;
}

RFC_HANDLE Library::Open(const RFC_OPTIONS *options, bool &violation) {
  Endpoint endpoint;
  rfcwire::LogonRequest logon;
  std::string problem;
  bool usable = false;
  if (options == nullptr) {
    problem = "no options record";
  } else if (options->connopt == nullptr) {
    problem = "no connection options";
  } else if (options->mode == RFC_MODE_R3ONLY) {
    const auto *server = static_cast<const RFC_CONNOPT_R3 *>(options->connopt);
    usable =
        ApplicationServerEndpoint(rfcwire::Trim(Text(server->hostname)), server->sysnr,
                                  rfcwire::Trim(Text(server->gateway_host)),
                                  rfcwire::Trim(Text(server->gateway_service)), endpoint, problem);
  } else if (options->mode == RFC_MODE_CPIC) {
    const auto *gateway = static_cast<const RFC_CONNOPT_CPIC *>(options->connopt);
    usable = GatewayEndpoint(rfcwire::Trim(Text(gateway->gateway_host)),
                             rfcwire::Trim(Text(gateway->gateway_service)), endpoint, problem);
  } else {
    problem = "mode " + std::to_string(options->mode) + " is neither 0 (R/3) nor 1 (R/2)";
  }
  if (usable) {
    usable = MakeLogon(Text(options->destination), Text(options->client), Text(options->user),
                       Text(options->password), Text(options->language), logon, problem);
  }
  if (!usable) {
    Record("RfcOpen", MakeFailure(kKeyParameter, "invalid connection options", problem),
           RFC_FAILURE, "");
    return 0;
  }
  Failure failure;
  const RFC_HANDLE handle = OpenAt("RfcOpen", endpoint, logon, failure);
  violation = handle == 0 && failure.protocol_violation;
  return handle;
}

RFC_HANDLE Library::OpenEx(const char *connect_text, RFC_ERROR_INFO_EX *error_info,
                           bool &violation) {
  Settings given;
  Settings merged;
  std::string problem;
  Failure failure = MakeFailure(kKeyConfiguration, "invalid connect data");
  bool usable = connect_text != nullptr && rfcfiles::ParseConnectText(connect_text, given, problem);
  if (connect_text == nullptr) {
    problem = "no connect text";
  }
  const std::string destination = Lookup(given, "DEST");
  if (usable && !destination.empty()) {
    const rfcfiles::DestinationLookup lookup =
        rfcfiles::LookUpDestination(ReadLibraryFile, destination, merged);
    if (lookup.result != rfcfiles::EntryLookup::Found) {
      failure.reason = LookupReason(lookup.result, destination);
      problem = lookup.problem;
      usable = false;
    }
  }
  // Values in the connect text win over those of the destination entry.
  for (const auto &[key, value] : given) {
    merged[key] = value;
  }
  Endpoint endpoint;
  rfcwire::LogonRequest logon;
  if (usable) {
    // An entry opens here exactly when SAP's NetWeaver library would take it: an application
    // server and its two-digit system number.
    const rfcfiles::ServerKind kind = rfcfiles::ServerKindOf(merged);
    const std::string host = Lookup(merged, "ASHOST");
    const std::string sysnr = Lookup(merged, "SYSNR");
    if (kind == rfcfiles::ServerKind::LoadBalancing) {
      problem = "load balancing (TYPE=B) is not supported; use TYPE=A with ASHOST and SYSNR";
      usable = false;
    } else if (kind == rfcfiles::ServerKind::Unsupported) {
      problem = rfcfiles::UnsupportedTypeProblem(merged);
      usable = false;
    } else if (host.empty()) {
      problem = "no ASHOST given";
      usable = false;
    } else if (!rfcfiles::IsSystemNumber(sysnr)) {
      problem = rfcfiles::SystemNumberProblem(sysnr);
      usable = false;
    } else {
      usable =
          ApplicationServerEndpoint(host, (sysnr[0] - '0') * 10 + (sysnr[1] - '0'),
                                    rfcwire::Trim(Lookup(merged, "GWHOST")),
                                    rfcwire::Trim(Lookup(merged, "GWSERV")), endpoint, problem) &&
          MakeLogon(destination, Lookup(merged, "CLIENT"), Lookup(merged, "USER"),
                    Lookup(merged, "PASSWD"), Lookup(merged, "LANG"), logon, problem);
    }
  }
  RFC_HANDLE handle = 0;
  if (usable) {
    handle = OpenAt("RfcOpenEx", endpoint, logon, failure);
    violation = handle == 0 && failure.protocol_violation;
  } else {
    failure.detail = problem;
    Record("RfcOpenEx", failure, RFC_FAILURE, destination.empty() ? "" : "DEST=" + destination);
  }
  if (handle == 0 && error_info != nullptr) {
    error_info->group = ErrorGroup(failure.key);
    CopyText(error_info->key, sizeof error_info->key, failure.key);
    CopyText(error_info->message, sizeof error_info->message, last_.message);
  }
  return handle;
}

RFC_RC Library::InstallStructure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned entries,
                                 RFC_TYPEHANDLE *type_handle) {
  std::string problem;
  RFC_TYPEHANDLE handle = 0;
  if (type_handle == nullptr) {
    problem = "no place for the type handle";
  } else if (structures_.Install(name, elements, entries, handle, problem)) {
    *type_handle = handle;
    return RFC_OK;
  }
  Record("RfcInstallStructure",
         MakeFailure(kKeyParameter, "invalid structure description", problem), RFC_FAILURE, "");
  return RFC_FAILURE;
}

RFC_RC Library::Call(RFC_HANDLE handle, const char *function, const RFC_PARAMETER *exporting,
                     const RFC_TABLE *tables, bool &violation) {
  Connection *connection = Find(handle);
  if (connection == nullptr) {
    return Fail("RfcCall", handle,
                MakeFailure(kKeyHandle, "invalid connection handle",
                            "no open connection has handle " + std::to_string(handle)),
                violation);
  }
  const std::string_view name = Text(function);
  rfcwire::CallRequest request;
  std::string problem;
  if (name.empty() || name.size() > rfcwire::kMaxNameLength) {
    problem = "function module name of " + std::to_string(name.size()) + " characters";
  } else if (connection->CallPending()) {
    problem = "the call of " + connection->PendingFunction() + " still waits for RfcReceive";
  } else if (CollectExporting(exporting, structures_, request.exporting, problem) &&
             CollectTables(tables, tables_, structures_, request.tables, problem)) {
    request.function.assign(name);
    Failure failure;
    if (!connection->Call(request, failure)) {
      failure.detail = failure.detail.empty() ? std::string(name)
                                              : failure.detail + " (" + std::string(name) + ")";
      return Fail("RfcCall", handle, failure, violation);
    }
    return RFC_OK;
  }
  return Fail("RfcCall", handle, MakeFailure(kKeyParameter, "invalid call", problem), violation);
}

RFC_RC Library::Receive(RFC_HANDLE handle, const RFC_PARAMETER *importing, const RFC_TABLE *tables,
                        char **exception, bool &violation) {
  if (exception != nullptr) {
    *exception = nullptr;
  }
  Connection *connection = Find(handle);
  if (connection == nullptr) {
    return Fail("RfcReceive", handle,
                MakeFailure(kKeyHandle, "invalid connection handle",
                            "no open connection has handle " + std::to_string(handle)),
                violation);
  }
  std::string problem;
  if (!connection->CallPending()) {
    problem = "no call is waiting for its reply";
  } else if (CheckImporting(importing, problem) && CheckTables(tables, tables_, problem)) {
    const std::string function = connection->PendingFunction();
    const std::string where = "handle " + std::to_string(handle) + " to " + connection->Partner();
    rfcwire::Frame frame; // the reply's table rows stay in here until they are stored
    rfcwire::ReplyView reply;
    rfcwire::RaisedException raised;
    Failure failure;
    Connection::Outcome outcome = connection->Receive(frame, reply, raised, failure);
    if (outcome == Connection::Outcome::Done) {
      if (StoreTables(tables, frame.payload, reply.tables, tables_, structures_, problem)) {
        StoreImporting(importing, reply.importing, structures_);
        return RFC_OK;
      }
      failure = MakeFailure(kKeyProtocol, kReasonMalformed, problem);
      failure.protocol_violation = true;
      failure.connection_lost = true;
      outcome = Connection::Outcome::Failed;
    }
    if (outcome == Connection::Outcome::Failed) {
      failure.detail = failure.detail.empty() ? function : failure.detail + " (" + function + ")";
      return Fail("RfcReceive", handle, failure, violation);
    }
    const bool system = outcome == Connection::Outcome::SystemException;
    const std::string raised_what = (system ? "system exception " : "exception ") + raised.name;
    Failure report =
        MakeFailure(system ? kKeySystemFailure : kKeyException,
                    raised.text.empty() ? raised_what + " raised by " + function : raised.text,
                    raised_what + " (" + function + ")");
    const RFC_RC rc = system ? RFC_SYS_EXCEPTION : RFC_EXCEPTION;
    Record("RfcReceive", connection->Masked(std::move(report)), rc, where);
    exception_ = connection->Masked(raised.name);
    if (exception != nullptr) {
      *exception = exception_.data();
    }
    if (system) {
      Drop(handle); // as the classic library does after a system exception
    }
    return rc;
  }
  return Fail("RfcReceive", handle, MakeFailure(kKeyParameter, "invalid receive", problem),
              violation);
}

ITAB_H Library::ItCreate(const char *name, unsigned leng) {
  const std::string_view table_name = Text(name).substr(0, rfcwire::kMaxNameLength);
  if (leng == 0 || leng > rfcwire::kMaxLineLength) {
    Record("ItCreate",
           MakeFailure(kKeyParameter, "invalid line length",
                       "table " + std::string(table_name) + ": " + std::to_string(leng) +
                           " bytes, 1.." + std::to_string(rfcwire::kMaxLineLength) + " allowed"),
           RFC_FAILURE, "");
    return 0;
  }
  return tables_.Create(std::string(table_name), leng);
}

unsigned Library::ItFill(ITAB_H table) {
  const InternalTable *found = tables_.Find(table);
  if (found == nullptr) {
    Record("ItFill", MakeFailure(kKeyHandle, "invalid table handle"), RFC_FAILURE, "");
    return 0;
  }
  return static_cast<unsigned>(found->rows.Count());
}

void *Library::ItGetLine(ITAB_H table, unsigned line) {
  InternalTable *found = tables_.Find(table);
  if (found == nullptr) {
    Record("ItGetLine", MakeFailure(kKeyHandle, "invalid table handle"), RFC_FAILURE, "");
    return nullptr;
  }
  std::uint8_t *row = line == 0 ? nullptr : found->rows.Row(line - 1);
  if (row == nullptr) {
    Record("ItGetLine",
           MakeFailure(kKeyParameter, "row does not exist",
                       "table " + found->name + " has " + std::to_string(found->rows.Count()) +
                           " rows, row " + std::to_string(line) + " was asked for"),
           RFC_FAILURE, "");
    return nullptr;
  }
  return row;
}

void *Library::ItAppLine(ITAB_H table) {
  InternalTable *found = tables_.Find(table);
  if (found == nullptr) {
    Record("ItAppLine", MakeFailure(kKeyHandle, "invalid table handle"), RFC_FAILURE, "");
    return nullptr;
  }
  if (found->rows.Count() >= kMaxRows) {
    Record("ItAppLine",
           MakeFailure(kKeyParameter, "table full",
                       "table " + found->name + " has " + std::to_string(kMaxRows) + " rows"),
           RFC_FAILURE, "");
    return nullptr;
  }
  return found->rows.Append();
}

int Library::ItDelete(ITAB_H table) {
  if (!tables_.Delete(table)) {
    Record("ItDelete", MakeFailure(kKeyHandle, "invalid table handle"), RFC_FAILURE, "");
    return 1;
  }
  return 0;
}

int Library::LastError(RFC_ERROR_INFO *error_info) const {
  if (error_info == nullptr) {
    return 1;
  }
  CopyText(error_info->key, sizeof error_info->key, last_.key);
  CopyText(error_info->status, sizeof error_info->status, last_.status);
  CopyText(error_info->message, sizeof error_info->message, last_.message);
  CopyText(error_info->intstat, sizeof error_info->intstat, last_.intstat);
  return 0;
}

void Library::Close(RFC_HANDLE handle) {
  // Closing a handle that is already gone (say after a system exception) is no error: the
  // program closes after reading the trace file, which must not get a misleading block.
  if (handle == 0) {
    connections_.clear();
  } else {
    connections_.erase(handle);
  }
}

} // namespace rfclib
