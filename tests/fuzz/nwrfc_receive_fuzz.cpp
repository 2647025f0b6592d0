// The NetWeaver binding's receiving side against a library whose every answer the input decides:
// texts of any UTF-16 units and lengths, integers, absent fields, failures, row counts up to far
// beyond the bound. RfcReceive either fills the classic buffers and tables completely (text
// narrowed to Windows-1252, cut or padded with blanks to the field, rows within 64 MiB) or fails
// having written nothing into the caller's memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "fuzz_check.h"
#include "memory_platform.h"
#include "nwbinding/nwrfc_binding.h"
#include "nwbinding/nwrfc_text.h"

namespace {

FuzzedDataProvider *g_input = nullptr;
/// The text each field (by name) was last answered with.
std::map<std::u16string, std::u16string> g_given;

nwrfc::Rc Answer(nwrfc::ErrorInfo *error, nwrfc::Rc code) {
  *error = nwrfc::ErrorInfo{};
  error->code = code;
  return code;
}

/// Most answers are good; now and then a field is absent or the library fails.
nwrfc::Rc Outcome(nwrfc::ErrorInfo *error) {
  switch (g_input->ConsumeIntegralInRange(0, 15)) {
  case 0:
    return Answer(error, nwrfc::kInvalidParameter);
  case 1:
    return Answer(error, nwrfc::kConversionFailure);
  default:
    return nwrfc::kOk;
  }
}

nwrfc::ConnectionHandle NWRFC_CALL Open(const nwrfc::ConnectionParameter *, unsigned,
                                        nwrfc::ErrorInfo *) {
  return reinterpret_cast<nwrfc::ConnectionHandle>(1);
}
nwrfc::Rc NWRFC_CALL Close(nwrfc::ConnectionHandle, nwrfc::ErrorInfo *) { return nwrfc::kOk; }
nwrfc::FunctionDescHandle NWRFC_CALL Desc(nwrfc::ConnectionHandle, const char16_t *,
                                          nwrfc::ErrorInfo *) {
  return reinterpret_cast<nwrfc::FunctionDescHandle>(2);
}
nwrfc::ContainerHandle NWRFC_CALL Create(nwrfc::FunctionDescHandle, nwrfc::ErrorInfo *) {
  return reinterpret_cast<nwrfc::ContainerHandle>(3);
}
nwrfc::Rc NWRFC_CALL Destroy(nwrfc::ContainerHandle, nwrfc::ErrorInfo *) { return nwrfc::kOk; }
nwrfc::Rc NWRFC_CALL Invoke(nwrfc::ConnectionHandle, nwrfc::ContainerHandle,
                            nwrfc::ErrorInfo *error) {
  return Answer(error, nwrfc::kOk);
}
nwrfc::Rc NWRFC_CALL SetChars(nwrfc::ContainerHandle, const char16_t *, const char16_t *, unsigned,
                              nwrfc::ErrorInfo *) {
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL GetChars(nwrfc::ContainerHandle, const char16_t *name, char16_t *buffer,
                              unsigned length, nwrfc::ErrorInfo *error) {
  g_given.erase(name);
  if (const nwrfc::Rc rc = Outcome(error); rc != nwrfc::kOk) {
    return rc;
  }
  std::u16string value;
  const std::size_t units = g_input->ConsumeIntegralInRange<std::size_t>(0, 80);
  for (std::size_t i = 0; i < units; ++i) {
    value.push_back(g_input->ConsumeIntegral<char16_t>());
  }
  if (value.size() > length) {
    return Answer(error, nwrfc::kBufferTooSmall);
  }
  std::fill_n(buffer, length, u' ');
  std::copy(value.begin(), value.end(), buffer);
  g_given[name] = value;
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL GetInt(nwrfc::ContainerHandle, const char16_t *, int *value,
                            nwrfc::ErrorInfo *error) {
  if (const nwrfc::Rc rc = Outcome(error); rc != nwrfc::kOk) {
    return rc;
  }
  *value = g_input->ConsumeIntegral<int>();
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL Child(nwrfc::ContainerHandle, const char16_t *, nwrfc::ContainerHandle *child,
                           nwrfc::ErrorInfo *error) {
  *child = reinterpret_cast<nwrfc::ContainerHandle>(4);
  return Outcome(error);
}
nwrfc::Rc NWRFC_CALL RowCount(nwrfc::ContainerHandle, unsigned *count, nwrfc::ErrorInfo *error) {
  // A few rows, or so many that 30-byte lines exceed the bound.
  *count = g_input->ConsumeBool() ? g_input->ConsumeIntegralInRange<unsigned>(0, 40)
                                  : g_input->ConsumeIntegralInRange<unsigned>(2236963, ~0u);
  return Outcome(error);
}
nwrfc::Rc NWRFC_CALL MoveTo(nwrfc::ContainerHandle, unsigned, nwrfc::ErrorInfo *error) {
  return g_input->ConsumeIntegralInRange(0, 30) == 0 ? Answer(error, nwrfc::kTableMoveEof)
                                                     : nwrfc::kOk;
}

constexpr unsigned kLine = 30;

struct Buffers {
  std::array<char, 12> user_type{};
  std::int32_t resources = 0;
  std::array<char, 14> datetime{};
  std::array<char, 8> guard{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  g_input = &input;
  g_given.clear();
  MemoryPlatform files;
  kestrovan::nwbinding::NwRfcFunctions functions;
  functions.OpenConnection = Open;
  functions.CloseConnection = Close;
  functions.GetFunctionDesc = Desc;
  functions.CreateFunction = Create;
  functions.DestroyFunction = Destroy;
  functions.Invoke = Invoke;
  functions.SetChars = SetChars;
  functions.GetChars = GetChars;
  functions.GetInt = GetInt;
  functions.GetStructure = Child;
  functions.GetTable = Child;
  functions.GetRowCount = RowCount;
  functions.MoveTo = MoveTo;
  const kestrovan::RfcLibrary *library = kestrovan::nwbinding::BindNwRfcLibrary(functions, files);

  RFC_TYPE_ELEMENT date_time[] = {{const_cast<char *>("MONI_DATE"), TYPDATE, 8, 0, 0},
                                  {const_cast<char *>("MONI_TIME"), TYPTIME, 6, 0, 0}};
  RFC_TYPE_ELEMENT ora[] = {{const_cast<char *>("NAME"), TYPC, kLine, 0, 0}};
  RFC_TYPEHANDLE date_time_type = 0, ora_type = 0;
  FUZZ_CHECK(library->InstallStructure("DATE_TIME", date_time, 2, &date_time_type) == RFC_OK);
  FUZZ_CHECK(library->InstallStructure("ORA_MISS", ora, 1, &ora_type) == RFC_OK);
  const ITAB_H table = library->ItCreate(const_cast<char *>("MISSING_INDEX"), kLine, 0, 0);
  RFC_TABLE tables[] = {{const_cast<char *>("MISSING_INDEX"), 13, ora_type, kLine, table, 0, 0},
                        RFC_TABLE{}};
  Buffers buffers;
  std::memset(&buffers, '?', sizeof buffers);
  const Buffers before = buffers;
  RFC_PARAMETER importing[] = {
      {const_cast<char *>("DIALOG_USER_TYPE"), 16, TYPC, 12, buffers.user_type.data()},
      {const_cast<char *>("CURRENT_RESOURCES"), 17, TYPINT, 4, &buffers.resources},
      {const_cast<char *>("DATETIME"), 8, date_time_type, 14, buffers.datetime.data()},
      RFC_PARAMETER{}};
  RFC_PARAMETER none[] = {RFC_PARAMETER{}};
  RFC_OPTIONS options{};
  RFC_CONNOPT_R3 server{const_cast<char *>("host"), 0, nullptr, nullptr};
  options.mode = RFC_MODE_R3ONLY;
  options.connopt = &server;
  const RFC_HANDLE handle = library->Open(&options);
  FUZZ_CHECK(handle != 0);
  FUZZ_CHECK(library->Call(handle, "DB_ORA_MISSING_INDICES", none, tables) == RFC_OK);
  char *exception = nullptr;
  const RFC_RC rc = library->Receive(handle, importing, tables, &exception);
  FUZZ_CHECK(rc == RFC_OK || rc == RFC_FAILURE);
  FUZZ_CHECK(std::memcmp(buffers.guard.data(), before.guard.data(), buffers.guard.size()) == 0);
  if (rc != RFC_OK) {
    // Nothing of a failed answer reaches the caller's memory.
    FUZZ_CHECK(std::memcmp(&buffers, &before, sizeof buffers) == 0);
    FUZZ_CHECK(library->ItFill(table) == 0);
  } else {
    const auto given = g_given.find(u"DIALOG_USER_TYPE");
    if (given != g_given.end()) {
      std::string expected = kestrovan::nwbinding::NarrowToAnsi(given->second);
      expected.resize(buffers.user_type.size(), ' ');
      FUZZ_CHECK(std::string(buffers.user_type.data(), buffers.user_type.size()) == expected);
    }
    const unsigned rows = library->ItFill(table);
    FUZZ_CHECK(std::uint64_t{rows} * kLine <= 64u * 1024u * 1024u);
    if (rows != 0) {
      const char *last = static_cast<const char *>(library->ItGetLine(table, rows));
      FUZZ_CHECK(last != nullptr && library->ItGetLine(table, rows + 1) == nullptr);
      const auto name = g_given.find(u"NAME");
      if (name != g_given.end()) {
        std::string expected = kestrovan::nwbinding::NarrowToAnsi(name->second);
        expected.resize(kLine, ' ');
        FUZZ_CHECK(std::string(last, kLine) == expected);
      }
    }
  }
  library->Close(0);
  library->ItDelete(table);
  g_input = nullptr;
  return 0;
}
