// Structure descriptions of RFCSI, DATE_TIME and ORA_MISS, and the call step every check runs.
#include "checks/structures.h"

#include <cstring>

#include "output/log_lines.h"
#include "rfc/error_report.h"
#include "rfc/rfc_calls.h"

namespace {

char *Name(const char *text) { return const_cast<char *>(text); } // the library only reads it

// The records hold their fields one after another without gaps, in element order.
RFC_TYPE_ELEMENT g_rfcsi[] = {
    {Name("RFCPROTO"), TYPC, 3, 0, 0},   {Name("RFCCHARTYP"), TYPC, 4, 0, 0},
    {Name("RFCINTTYP"), TYPC, 3, 0, 0},  {Name("RFCFLOTYP"), TYPC, 3, 0, 0},
    {Name("RFCDEST"), TYPC, 32, 0, 0},   {Name("RFCHOST"), TYPC, 8, 0, 0},
    {Name("RFCSYSID"), TYPC, 8, 0, 0},   {Name("RFCDATABS"), TYPC, 8, 0, 0},
    {Name("RFCDBHOST"), TYPC, 32, 0, 0}, {Name("RFCDBSYS"), TYPC, 10, 0, 0},
    {Name("RFCSAPRL"), TYPC, 4, 0, 0},   {Name("RFCMACH"), TYPC, 5, 0, 0},
    {Name("RFCOPSYS"), TYPC, 10, 0, 0},  {Name("RFCTZONE"), TYPC, 6, 0, 0},
    {Name("RFCDAYST"), TYPC, 1, 0, 0},   {Name("RFCIPADDR"), TYPC, 15, 0, 0},
    {Name("RFCKERNRL"), TYPC, 4, 0, 0},  {Name("RFCSI_RESV"), TYPC, 44, 0, 0},
};

RFC_TYPE_ELEMENT g_date_time[] = {
    {Name("MONI_DATE"), TYPDATE, 8, 0, 0},
    {Name("MONI_TIME"), TYPTIME, 6, 0, 0},
};

RFC_TYPE_ELEMENT g_ora_miss[] = {
    {Name("NAME"), TYPC, 30, 0, 0},
};

template <std::size_t N> StructureDescription Describe(RFC_TYPE_ELEMENT (&elements)[N]) {
  return {elements, static_cast<unsigned>(N)};
}

} // namespace

StructureDescription RfcsiDescription() { return Describe(g_rfcsi); }
StructureDescription DateTimeDescription() { return Describe(g_date_time); }
StructureDescription OraMissDescription() { return Describe(g_ora_miss); }

RFC_PARAMETER Parameter(const char *name, unsigned type, unsigned length, void *address) {
  return RFC_PARAMETER{Name(name), static_cast<unsigned>(std::strlen(name)), type, length, address};
}

RFC_TABLE Table(const char *name, unsigned line_length, ITAB_H table) {
  return RFC_TABLE{Name(name), static_cast<unsigned>(std::strlen(name)), 0, line_length, table, 0,
                   0};
}

RFC_RC RemoteCallStep(RunState &state, RFC_HANDLE handle, const char *function,
                      std::vector<StructureUse> structures, RFC_PARAMETER *exporting,
                      RFC_TABLE *tables, RFC_PARAMETER *importing, std::string *exception) {
  RfcCalls rfc(state);
  for (StructureUse &structure : structures) {
    if (*structure.handle == 0 &&
        rfc.InstallStructure(structure.name, structure.elements, structure.element_count,
                             structure.handle) != RFC_OK)
      AbortOnRfcError(state, "RfcInstallStructure");
    for (unsigned *type : structure.type_fields)
      *type = *structure.handle;
  }

  RFC_RC code = rfc.Call(handle, function, exporting, tables);
  WriteLogLine(state, handle, "RfcCall called", "");
  if (code != RFC_OK) return code;

  char *raised = nullptr;
  code = rfc.Receive(handle, importing, tables, &raised);
  WriteLogLine(state, handle, "RfcReceive called", "");
  if ((code == RFC_EXCEPTION || code == RFC_SYS_EXCEPTION) && raised)
    exception->assign(raised, strnlen(raised, kExceptionTextWidth));
  return code;
}

std::string CheckFailureText(RFC_RC code, const std::string &exception) {
  switch (code) {
  case RFC_FAILURE:
    return "Error 1014: RFC-Failure raised !";
  case RFC_EXCEPTION:
    return "Error 1012: Exception.: " + exception;
  case RFC_SYS_EXCEPTION:
    return "Error 1013: Sys-Exception raised !";
  default:
    return "Error 1015: Other Failure raised !";
  }
}
