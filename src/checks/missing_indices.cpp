// DB_ORA_MISSING_INDICES: counting the two tables and writing the result.
#include "checks/missing_indices.h"

#include <cstdint>

#include "checks/structures.h"
#include "output/result_document.h"
#include "rfc/error_report.h"
#include "rfc/rfc_calls.h"

namespace {

constexpr const char *kNotDefinedTable = "INDEX_NOT_DEFINED";
constexpr const char *kMissingTable = "MISSING_INDEX";
constexpr std::string_view kNotDefinedChannel = "Index_Undefined";
constexpr std::string_view kMissingChannel = "Missing_Idices";

ITAB_H CreateTable(RunState &state, const char *name) {
  const ITAB_H table = RfcCalls(state).ItCreate(name, kOraMissLength);
  if (table == 0) AbortOnRfcError(state, std::string("ItCreate ") + name);
  return table;
}

std::uint32_t CountLines(RunState &state, ITAB_H table, const char *name) {
  std::uint32_t count = 0;
  for (unsigned line = 1; line <= RfcCalls(state).ItFill(table); ++line) {
    if (RfcCalls(state).ItGetLine(table, line) == nullptr)
      AbortOnRfcError(state, std::string("ItGetLine ") + name);
    ++count;
  }
  return count;
}

void WriteOneSystemResult(RunState &state, std::uint32_t not_defined, std::uint32_t missing) {
  BeginDocument(state);
  BeginText(state);
  state.ResultDocument += "(" + state.Connection.destination +
                          ") Indices: Not_Defined=" + GroupThousands(std::to_string(not_defined)) +
                          ", Missing_Indices=" + GroupThousands(std::to_string(missing));
  EndText(state);
  AddChannel(state, kNotDefinedChannel, std::to_string(not_defined), "");
  AddChannel(state, kMissingChannel, std::to_string(missing), "");
  EndDocument(state);
}

/// A global listing run shows one channel per system, named after the system.
void WriteSystemChannel(RunState &state, std::uint32_t not_defined, std::uint32_t missing) {
  state.ResultDocument.clear();
  std::uint32_t value;
  if (state.ItemName == kNotDefinedChannel)
    value = not_defined;
  else if (state.ItemName == kMissingChannel)
    value = missing;
  else
    return;
  AddChannel(state, state.SystemChannelName, std::to_string(value), "");
  state.os.WriteStdout(state.ResultDocument);
  state.ResultDocument.clear();
}

} // namespace

RFC_RC CheckMissingIndices(RunState &state, RFC_HANDLE handle) {
  const ITAB_H not_defined_table = CreateTable(state, kNotDefinedTable);
  const ITAB_H missing_table = CreateTable(state, kMissingTable);

  char current_date[8], current_time[6], date_time[kDateTimeLength];
  RFC_PARAMETER exporting[] = {RFC_PARAMETER{}};
  RFC_PARAMETER importing[] = {
      Parameter("CURR_DATE", TYPDATE, sizeof current_date, current_date),
      Parameter("CURR_TIME", TYPTIME, sizeof current_time, current_time),
      Parameter("DATETIME", 0, kDateTimeLength, date_time),
      RFC_PARAMETER{},
  };
  RFC_TABLE tables[] = {
      Table(kNotDefinedTable, kOraMissLength, not_defined_table),
      Table(kMissingTable, kOraMissLength, missing_table),
      RFC_TABLE{},
  };
  const StructureDescription date_time_description = DateTimeDescription();
  const StructureDescription ora_miss_description = OraMissDescription();
  std::string exception;
  const RFC_RC code = RemoteCallStep(state, handle, "DB_ORA_MISSING_INDICES",
                                     {{"DATE_TIME",
                                       date_time_description.elements,
                                       date_time_description.element_count,
                                       &state.StructureHandles.date_time,
                                       {&importing[2].type}},
                                      {"ORA_MISS",
                                       ora_miss_description.elements,
                                       ora_miss_description.element_count,
                                       &state.StructureHandles.ora_miss,
                                       {&tables[0].type, &tables[1].type}}},
                                     exporting, tables, importing, &exception);

  if (code == RFC_OK) {
    state.RunStatus = "OK";
    const std::uint32_t not_defined = CountLines(state, not_defined_table, kNotDefinedTable);
    const std::uint32_t missing = CountLines(state, missing_table, kMissingTable);
    if (state.GlobalListing)
      WriteSystemChannel(state, not_defined, missing);
    else
      WriteOneSystemResult(state, not_defined, missing);
  } else {
    state.ResultDocument += CheckFailureText(code, exception);
  }

  if (RfcCalls(state).ItDelete(not_defined_table) != 0)
    AbortOnRfcError(state, std::string("ItDelete ") + kNotDefinedTable);
  if (RfcCalls(state).ItDelete(missing_table) != 0)
    AbortOnRfcError(state, std::string("ItDelete ") + kMissingTable);
  return code;
}
