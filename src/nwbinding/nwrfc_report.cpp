// The classic error record built from the NetWeaver library's, and the trace block of a failure.
#include "nwbinding/nwrfc_report.h"

#include <algorithm>
#include <array>

#include "nwbinding/nwrfc_text.h"
#include "rfcfiles/connect_data.h"
#include "rfcfiles/file_names.h"
#include "rfcfiles/trace_block.h"

namespace kestrovan::nwbinding {

namespace {

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

/// A text of the library with the password, should it ever appear there, masked: as the
/// profile holds it, and as the library's text gives it back once narrowed; and with a route's
/// router password, which the library may repeat with the route.
std::string Masked(std::string text, std::string_view password) {
  rfcfiles::MaskPassword(text, password);
  rfcfiles::MaskPassword(text, NarrowToAnsi(WidenProfileText(password)));
  return rfcfiles::MaskRoutePasswords(std::move(text));
}

std::string Location(std::string_view operation, std::string_view where) {
  return where.empty() ? std::string(operation) : std::string(operation) + " " + std::string(where);
}

} // namespace

std::string_view NwRcName(nwrfc::Rc code) {
  const auto index = static_cast<std::size_t>(code);
  return index < kRcNames.size() ? kRcNames[index] : std::string_view("RFC_UNKNOWN_ERROR");
}

std::string NarrowField(const char16_t *text, std::size_t units) {
  return NarrowToAnsi(TerminatedText(text, units));
}

void CopyText(char *target, std::size_t size, std::string_view text) {
  const std::size_t length = std::min(text.size(), size - 1);
  std::copy_n(text.begin(), length, target);
  std::fill(target + length, target + size, '\0');
}

RFC_ERROR_INFO ClassicErrorRecord(const nwrfc::ErrorInfo &error, std::string_view operation,
                                  std::string_view password) {
  RFC_ERROR_INFO record{};
  std::string key = Masked(NarrowField(error.key, std::size(error.key)), password);
  if (key.empty()) {
    key = std::string(NwRcName(error.code));
  }
  std::string internal = std::string(operation) + " group " + GroupName(error.group);
  const std::string message_id = NarrowField(error.abapMsgClass, std::size(error.abapMsgClass));
  if (!message_id.empty()) {
    internal += " message " + NarrowField(error.abapMsgType, std::size(error.abapMsgType)) + " " +
                message_id + " " + NarrowField(error.abapMsgNumber, std::size(error.abapMsgNumber));
  }
  CopyText(record.key, sizeof record.key, key);
  CopyText(record.status, sizeof record.status, NwRcName(error.code));
  // A message of keyed lines is known to the classic caller by its ERROR line.
  std::string message = Masked(NarrowField(error.message, std::size(error.message)), password);
  if (const auto lines = rfcfiles::KeyedLines(message); !lines.empty()) {
    message = rfcfiles::KeyedValue(lines, "ERROR");
  }
  CopyText(record.message, sizeof record.message, message);
  CopyText(record.intstat, sizeof record.intstat, internal);
  return record;
}

void NwErrorLog::Reset(Platform *files, std::string release) {
  files_ = files;
  last_ = RFC_ERROR_INFO{};
  counter_ = 0;
  release_ = std::move(release);
}

void NwErrorLog::Own(std::string_view operation, std::string_view where, std::string_view key,
                     std::string_view reason, std::string_view detail, int rc) {
  Report report;
  const std::string location = rfcfiles::MaskRoutePasswords(Location(operation, where));
  CopyText(report.record.key, sizeof report.record.key, key);
  CopyText(report.record.status, sizeof report.record.status, reason);
  CopyText(report.record.message, sizeof report.record.message,
           detail.empty() ? std::string(reason) : std::string(reason) + ": " + std::string(detail));
  CopyText(report.record.intstat, sizeof report.record.intstat, location);
  report.location = location;
  report.error = reason;
  report.detail = detail;
  report.rc = rc;
  Keep(report);
}

void NwErrorLog::FromLibrary(std::string_view operation, std::string_view where,
                             const nwrfc::ErrorInfo &error, int rc, std::string_view password,
                             std::string_view reason, std::string_view note) {
  Report report;
  report.record = ClassicErrorRecord(error, operation, password);
  report.location = rfcfiles::MaskRoutePasswords(Location(operation, where));
  const std::string message =
      Masked(NarrowField(error.message, std::size(error.message)), password);
  const std::string key = Masked(NarrowField(error.key, std::size(error.key)), password);
  // SAP's network layer reports in keyed lines; they go into the block as lines, as the classic
  // library writes them, so the block's ERROR line is the one that says what went wrong.
  if (reason.empty()) {
    report.library_lines = rfcfiles::KeyedLines(message);
  }
  const std::string shown =
      report.library_lines.empty() ? message : rfcfiles::KeyedValue(report.library_lines, "ERROR");
  report.error = !reason.empty()  ? std::string(reason)
                 : !shown.empty() ? shown
                 : !key.empty()   ? key
                                  : std::string(NwRcName(error.code));
  report.detail = note.empty() ? std::string() : std::string(note) + "; ";
  report.detail += std::string(NwRcName(error.code)) + ", group " + GroupName(error.group);
  if (!key.empty()) {
    report.detail += ", key " + key;
  }
  if (!reason.empty() && !message.empty()) {
    report.detail += ": " + message;
  }
  report.rc = rc;
  Keep(report);
}

void NwErrorLog::Keep(const Report &report) {
  last_ = report.record;
  ++counter_;
  if (files_ == nullptr) {
    return;
  }
  // One block in the classic library's trace format, so the program reads its ERROR line as it
  // reads the classic library's. The platform's clock names no time zone.
  const LocalTime now = files_->Now();
  const rfcfiles::TraceStamp stamp{now.year, now.month,  now.day,    now.weekday,
                                   now.hour, now.minute, now.second, std::string()};
  const rfcfiles::TraceWriter writer{release_, "NWRFC", "NW RFC binding"};
  const rfcfiles::TraceEntry entry{report.location, report.error, report.rc, report.detail};
  if (const auto file = files_->OpenAppend(std::string(rfcfiles::kTraceFile))) {
    file->Write(rfcfiles::FormatTraceBlock(entry, stamp, writer, counter_, report.library_lines));
  }
}

} // namespace kestrovan::nwbinding
