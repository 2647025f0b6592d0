// The classic library's twelve operations implemented over the NetWeaver RFC library: the sensor
// keeps calling its RfcLibrary table; this binding turns each operation into NetWeaver calls.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "nwbinding/nwrfc_report.h"
#include "rfcapi/rfc_library.h"
#include "rfcapi/nwrfc_api.h"
#include "rfcfiles/limits_file.h"

namespace kestrovan::nwbinding {

/// The binding's settings file, read from the working directory at every open.
inline constexpr std::string_view kNwRfcLimitsFile = "NwRfcLimits.ini";

/// The NetWeaver library has no call timeout of its own: these bound every remote operation
/// unless the settings file says otherwise. The run's thread waits for each step until its limit
/// and then has the binding cancel it (RfcCancel) or fail an open that comes back late. With them
/// a run of one system ends within about 46 s, inside a monitor's usual 60 s.
inline constexpr rfcfiles::TimeLimits kNwRfcDefaultLimits{std::chrono::milliseconds(10000),
                                                          std::chrono::milliseconds(20000),
                                                          std::chrono::milliseconds(45000)};

/// The NetWeaver operations the binding calls, as found in the loaded library. The three marked
/// optional may be null: without RfcCancel calls are not bounded, without
/// RfcIsConnectionHandleValid a connection the library closed after an error is not closed again.
struct NwRfcFunctions {
  nwrfc::OpenConnectionFn OpenConnection = nullptr;
  nwrfc::CloseConnectionFn CloseConnection = nullptr;
  nwrfc::GetFunctionDescFn GetFunctionDesc = nullptr;
  nwrfc::CreateFunctionFn CreateFunction = nullptr;
  nwrfc::DestroyFunctionFn DestroyFunction = nullptr;
  nwrfc::InvokeFn Invoke = nullptr;
  nwrfc::SetCharsFn SetChars = nullptr;
  nwrfc::GetCharsFn GetChars = nullptr;
  nwrfc::GetIntFn GetInt = nullptr;
  nwrfc::GetStructureFn GetStructure = nullptr;
  nwrfc::GetTableFn GetTable = nullptr;
  nwrfc::GetRowCountFn GetRowCount = nullptr;
  nwrfc::MoveToFn MoveTo = nullptr;
  nwrfc::CancelFn Cancel = nullptr;                                   // optional
  nwrfc::IsConnectionHandleValidFn IsConnectionHandleValid = nullptr; // optional
  nwrfc::GetVersionFn GetVersion = nullptr;                           // optional
};

/// Calls visit(export_name, required, member) for every member of the table, in a fixed order:
/// the loaders resolve the table by these names.
template <typename Visit> void ForEachNwRfcExport(NwRfcFunctions &table, Visit visit) {
  visit("RfcOpenConnection", true, table.OpenConnection);
  visit("RfcCloseConnection", true, table.CloseConnection);
  visit("RfcGetFunctionDesc", true, table.GetFunctionDesc);
  visit("RfcCreateFunction", true, table.CreateFunction);
  visit("RfcDestroyFunction", true, table.DestroyFunction);
  visit("RfcInvoke", true, table.Invoke);
  visit("RfcSetChars", true, table.SetChars);
  visit("RfcGetChars", true, table.GetChars);
  visit("RfcGetInt", true, table.GetInt);
  visit("RfcGetStructure", true, table.GetStructure);
  visit("RfcGetTable", true, table.GetTable);
  visit("RfcGetRowCount", true, table.GetRowCount);
  visit("RfcMoveTo", true, table.MoveTo);
  visit("RfcCancel", false, table.Cancel);
  visit("RfcIsConnectionHandleValid", false, table.IsConnectionHandleValid);
  visit("RfcGetVersion", false, table.GetVersion);
}

/// The classic operations over these NetWeaver functions. The binding keeps process-wide state,
/// as the classic library does: binding again replaces the functions and forgets every
/// connection, table and structure of the binding before. The binding's own files (its limits,
/// the destination file, the trace) and the trace's clock are reached through `files`, which
/// must outlive the binding.
const RfcLibrary *BindNwRfcLibrary(const NwRfcFunctions &functions, Platform &files);

/// The same over the files of the machine the program runs on.
const RfcLibrary *BindNwRfcLibrary(const NwRfcFunctions &functions);

/// What a NetWeaver result means for the classic caller: the classic code, whether the partner
/// broke the protocol (the classic library then calls the error handler), and whether the
/// NetWeaver library has closed the connection.
struct ClassicOutcome {
  RFC_RC code = RFC_FAILURE;
  bool protocol_violation = false;
  bool connection_closed = false;
};

/// The classic reading of RfcInvoke's result: an ABAP exception is an exception, an ABAP runtime
/// failure or message a system exception, anything else a failure.
ClassicOutcome ClassicInvokeOutcome(nwrfc::Rc code);

/// The error text a mode R/2 (gateway) open is refused with: the NetWeaver library documents no
/// equivalent of a classic gateway connection.
inline constexpr std::string_view kGatewayModeRefused =
    "mode R/2 (a gateway connection) is not supported with the NetWeaver RFC library; use mode "
    "R/3 with the application server's host and system number";

} // namespace kestrovan::nwbinding
