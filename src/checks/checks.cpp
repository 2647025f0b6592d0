// RFC_SYSTEM_INFO and DB_ORA_MISSING_INDICES: the dictionary structures they exchange, the call
// step both run, and what each makes of the answer.
#include "checks/checks.h"

#include <array>
#include <cstring>
#include <vector>

#include "checks/structure_descriptions.h"

namespace kestrovan {

namespace {

/// One field of a dictionary structure; the records hold their fields one after another without
/// gaps, in this order, so a field's place follows from the lengths before it.
struct FieldType {
  const char *name;
  unsigned type;
  unsigned length;
};

template <std::size_t N> using Layout = std::array<FieldType, N>;

constexpr Layout<18> kRfcsi{{
    {"RFCPROTO", TYPC, 3},
    {"RFCCHARTYP", TYPC, 4},
    {"RFCINTTYP", TYPC, 3},
    {"RFCFLOTYP", TYPC, 3},
    {"RFCDEST", TYPC, 32},
    {"RFCHOST", TYPC, 8},
    {"RFCSYSID", TYPC, 8},
    {"RFCDATABS", TYPC, 8},
    {"RFCDBHOST", TYPC, 32},
    {"RFCDBSYS", TYPC, 10},
    {"RFCSAPRL", TYPC, 4},
    {"RFCMACH", TYPC, 5},
    {"RFCOPSYS", TYPC, 10},
    {"RFCTZONE", TYPC, 6},
    {"RFCDAYST", TYPC, 1},
    {"RFCIPADDR", TYPC, 15},
    {"RFCKERNRL", TYPC, 4},
    {"RFCSI_RESV", TYPC, 44},
}};
constexpr Layout<2> kDateTime{{{"MONI_DATE", TYPDATE, 8}, {"MONI_TIME", TYPTIME, 6}}};
constexpr Layout<1> kOraMiss{{{"NAME", TYPC, 30}}};

template <std::size_t N> constexpr unsigned RecordLength(const Layout<N> &layout) {
  unsigned length = 0;
  for (const FieldType &field : layout) {
    length += field.length;
  }
  return length;
}

struct FieldPlace {
  std::size_t offset;
  std::size_t length;
};

template <std::size_t N>
constexpr FieldPlace PlaceOf(const Layout<N> &layout, std::string_view name) {
  std::size_t offset = 0;
  for (const FieldType &field : layout) {
    if (name == field.name) {
      return {offset, field.length};
    }
    offset += field.length;
  }
  throw "no such field"; // only ever evaluated at compile time
}

constexpr unsigned kRfcsiLength = RecordLength(kRfcsi);
constexpr unsigned kDateTimeLength = RecordLength(kDateTime);
constexpr unsigned kOraMissLength = RecordLength(kOraMiss);
constexpr FieldPlace kRfcHost = PlaceOf(kRfcsi, "RFCHOST");
constexpr FieldPlace kRfcDbSys = PlaceOf(kRfcsi, "RFCDBSYS");
static_assert(kRfcsiLength == 200 && kDateTimeLength == 14 && kOraMissLength == 30);
static_assert(kRfcHost.offset == 45 && kRfcDbSys.offset == 101);

/// The element list the library installs; it is given writable names but only reads them.
template <std::size_t N> std::array<RFC_TYPE_ELEMENT, N> Elements(const Layout<N> &layout) {
  std::array<RFC_TYPE_ELEMENT, N> elements{};
  for (std::size_t i = 0; i < N; ++i) {
    elements[i] = {const_cast<char *>(layout[i].name), layout[i].type, layout[i].length, 0, 0};
  }
  return elements;
}

std::array<RFC_TYPE_ELEMENT, kRfcsi.size()> g_rfcsi = Elements(kRfcsi);
std::array<RFC_TYPE_ELEMENT, kDateTime.size()> g_date_time = Elements(kDateTime);
std::array<RFC_TYPE_ELEMENT, kOraMiss.size()> g_ora_miss = Elements(kOraMiss);

/// A dictionary structure a call needs, and the names of the entries whose type it is.
struct StructureUse {
  const char *name;
  RFC_TYPE_ELEMENT *elements;
  unsigned element_count;
  std::vector<std::string_view> typed_entries;
};

template <typename Entry>
void SetTypeByName(Entry *list, std::string_view name, RFC_TYPEHANDLE type) {
  for (Entry *entry = list; entry && entry->name; ++entry) {
    if (name == static_cast<const char *>(entry->name)) {
      entry->type = type;
    }
  }
}

/// Installs what the library does not know yet, calls the function module and receives its
/// answer. Returns the library's code; on 2 and 3 the exception's name is in *exception.
RFC_RC RemoteCallStep(RfcSession &rfc, RFC_HANDLE handle, const char *function,
                      const std::vector<StructureUse> &structures, RFC_PARAMETER *exporting,
                      RFC_TABLE *tables, RFC_PARAMETER *importing, std::string *exception) {
  for (const StructureUse &structure : structures) {
    const RFC_TYPEHANDLE type =
        rfc.Structure(structure.name, structure.elements, structure.element_count);
    if (rfc.stopped()) {
      return RFC_FAILURE;
    }
    for (std::string_view entry : structure.typed_entries) {
      SetTypeByName(importing, entry, type);
      SetTypeByName(tables, entry, type);
    }
  }

  RFC_RC code = rfc.Call(handle, function, exporting, tables);
  if (rfc.stopped()) {
    return RFC_FAILURE;
  }
  rfc.log().Write(handle, "RfcCall called", "");
  if (code != RFC_OK) {
    return code;
  }

  char *raised = nullptr;
  code = rfc.Receive(handle, importing, tables, &raised);
  if (rfc.stopped()) {
    return RFC_FAILURE;
  }
  rfc.log().Write(handle, "RfcReceive called", "");
  if ((code == RFC_EXCEPTION || code == RFC_SYS_EXCEPTION) && raised) {
    exception->assign(raised, strnlen(raised, kExceptionTextWidth));
  }
  return code;
}

/// The text a failed check shows for the library's return code.
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

template <typename Found> CheckResult<Found> Failed(RFC_RC code, const std::string &exception) {
  return {std::nullopt, CheckFailure{code, exception, CheckFailureText(code, exception), {}}, {}};
}

/// The session stopped under a check: the library's block or the deadline ends it.
template <typename Found> CheckResult<Found> Stopped(const RfcSession &rfc) {
  return {std::nullopt, {}, rfc.stopped()};
}

/// A fixed-width text field as a C program sees it: up to the first zero byte.
std::string FieldText(const char *record, FieldPlace place) {
  return std::string(record + place.offset, strnlen(record + place.offset, place.length));
}

constexpr const char *kNotDefinedTable = "INDEX_NOT_DEFINED";
constexpr const char *kMissingTable = "MISSING_INDEX";

ITAB_H CreateTable(RfcSession &rfc, const char *name) {
  const ITAB_H table = rfc.ItCreate(name, kOraMissLength);
  if (table == 0) {
    rfc.Abort(std::string("ItCreate ") + name);
  }
  return table;
}

/// Every line is fetched, as the count is only as good as the lines the library can hand out.
std::uint32_t CountLines(RfcSession &rfc, ITAB_H table, const char *name) {
  std::uint32_t count = 0;
  for (unsigned line = 1; !rfc.stopped() && line <= rfc.ItFill(table); ++line) {
    if (rfc.ItGetLine(table, line) == nullptr) {
      rfc.Abort(std::string("ItGetLine ") + name);
      break;
    }
    ++count;
  }
  return count;
}

void DeleteTable(RfcSession &rfc, ITAB_H table, const char *name) {
  if (rfc.ItDelete(table) != 0) {
    rfc.Abort(std::string("ItDelete ") + name);
  }
}

} // namespace

StructureDescription RfcsiDescription() { return {g_rfcsi.data(), g_rfcsi.size()}; }
StructureDescription DateTimeDescription() { return {g_date_time.data(), g_date_time.size()}; }
StructureDescription OraMissDescription() { return {g_ora_miss.data(), g_ora_miss.size()}; }

RFC_PARAMETER Parameter(const char *name, unsigned type, unsigned length, void *address) {
  return RFC_PARAMETER{const_cast<char *>(name), static_cast<unsigned>(std::strlen(name)), type,
                       length, address};
}

RFC_TABLE Table(const char *name, unsigned line_length, ITAB_H table) {
  return RFC_TABLE{const_cast<char *>(name),
                   static_cast<unsigned>(std::strlen(name)),
                   0,
                   line_length,
                   table,
                   0,
                   0};
}

bool IsOracle(const std::string &database_system) { return database_system.starts_with("ORA"); }

CheckResult<SystemInfo> ReadSystemInfo(RfcSession &rfc, RFC_HANDLE handle) {
  std::int32_t current_resources = 0, maximal_resources = 0, recommended_delay = 0;
  char dialog_user_type[1] = {' '};
  char login_complete[1] = {' '};
  std::array<char, kRfcsiLength> rfcsi;
  rfcsi.fill(' ');

  RFC_PARAMETER exporting[] = {RFC_PARAMETER{}};
  RFC_TABLE tables[] = {RFC_TABLE{}};
  RFC_PARAMETER importing[] = {
      Parameter("CURRENT_RESOURCES", TYPINT, 4, &current_resources),
      Parameter("DIALOG_USER_TYPE", TYPC, 1, dialog_user_type),
      Parameter("MAXIMAL_RESOURCES", TYPINT, 4, &maximal_resources),
      Parameter("RECOMMENDED_DELAY", TYPINT, 4, &recommended_delay),
      Parameter("RFCSI_EXPORT", 0, kRfcsiLength, rfcsi.data()),
      Parameter("RFC_LOGIN_COMPLETE", TYPC, 1, login_complete),
      RFC_PARAMETER{},
  };
  std::string exception;
  const RFC_RC code = RemoteCallStep(rfc, handle, "RFC_SYSTEM_INFO",
                                     {{"RFCSI", g_rfcsi.data(), kRfcsi.size(), {"RFCSI_EXPORT"}}},
                                     exporting, tables, importing, &exception);
  if (rfc.stopped()) {
    return Stopped<SystemInfo>(rfc);
  }
  if (code != RFC_OK) {
    return Failed<SystemInfo>(code, exception);
  }
  return {
      SystemInfo{FieldText(rfcsi.data(), kRfcHost), FieldText(rfcsi.data(), kRfcDbSys)}, {}, {}};
}

CheckResult<IndexCounts> CheckMissingIndices(RfcSession &rfc, RFC_HANDLE handle,
                                             const CountsHeard &heard) {
  const ITAB_H not_defined_table = CreateTable(rfc, kNotDefinedTable);
  if (rfc.stopped()) {
    return Stopped<IndexCounts>(rfc);
  }
  const ITAB_H missing_table = CreateTable(rfc, kMissingTable);
  if (rfc.stopped()) {
    return Stopped<IndexCounts>(rfc);
  }

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
  std::string exception;
  const RFC_RC code = RemoteCallStep(
      rfc, handle, "DB_ORA_MISSING_INDICES",
      {{"DATE_TIME", g_date_time.data(), kDateTime.size(), {"DATETIME"}},
       {"ORA_MISS", g_ora_miss.data(), kOraMiss.size(), {kNotDefinedTable, kMissingTable}}},
      exporting, tables, importing, &exception);

  if (rfc.stopped()) {
    return Stopped<IndexCounts>(rfc);
  }

  CheckResult<IndexCounts> result;
  if (code == RFC_OK) {
    IndexCounts counts;
    counts.not_defined = CountLines(rfc, not_defined_table, kNotDefinedTable);
    counts.missing = CountLines(rfc, missing_table, kMissingTable);
    if (rfc.stopped()) {
      return Stopped<IndexCounts>(rfc);
    }
    result.found = counts;
    if (heard) {
      heard(counts);
    }
  } else {
    result = Failed<IndexCounts>(code, exception);
  }
  DeleteTable(rfc, not_defined_table, kNotDefinedTable);
  DeleteTable(rfc, missing_table, kMissingTable);
  if (rfc.stopped()) {
    return Stopped<IndexCounts>(rfc);
  }
  return result;
}

namespace {

/// Closes the connection after the checks found what they found. Only the library's error block
/// replaces that finding; a close the run's time ran out on leaves it in hand (the session stays
/// stopped for what would come next).
std::optional<RfcStop> CloseAfterFinding(RfcSession &rfc, RFC_HANDLE handle,
                                         const SystemCheck &found,
                                         const FoundBeforeClose &before_close) {
  if (before_close) {
    before_close(found);
  }
  rfc.Close(handle);
  if (rfc.stopped() && std::holds_alternative<RfcAbort>(*rfc.stopped())) {
    return rfc.stopped();
  }
  return std::nullopt;
}

bool IsFailedMissingIndices(const SystemCheck &check) {
  const auto *failed = std::get_if<FailedCheck>(&check.outcome);
  return failed && failed->step == CheckStep::MissingIndices;
}

} // namespace

SystemCheck AfterTheClose(SystemCheck found, RfcSession &rfc) {
  if (IsFailedMissingIndices(found)) {
    std::get<FailedCheck>(found.outcome).failure.trace_detail = rfc.TraceDetail();
  }
  return found;
}

SystemCheck CheckConnectedSystem(RfcSession &rfc, RFC_HANDLE handle, const CountsHeard &heard,
                                 const FoundBeforeClose &before_close) {
  const CheckResult<SystemInfo> info = ReadSystemInfo(rfc, handle);
  if (info.stop) {
    return {std::nullopt, *info.stop};
  }
  SystemCheck check{std::nullopt, NotOracle{}};
  if (!info.found) {
    FailedCheck failed{CheckStep::SystemInfo, info.failure};
    failed.failure.trace_detail = rfc.TraceDetail();
    check.outcome = failed;
  } else {
    check.host = info.found->host;
    if (IsOracle(info.found->database_system)) {
      const CheckResult<IndexCounts> indices = CheckMissingIndices(rfc, handle, heard);
      if (indices.stop) {
        check.outcome = *indices.stop;
        return check;
      }
      if (indices.found) {
        check.outcome = *indices.found;
      } else {
        check.outcome = FailedCheck{CheckStep::MissingIndices, indices.failure};
      }
    }
  }
  if (const std::optional<RfcStop> abort = CloseAfterFinding(rfc, handle, check, before_close)) {
    return {check.host, *abort}; // the block replaces the finding
  }
  return AfterTheClose(std::move(check), rfc);
}

} // namespace kestrovan
