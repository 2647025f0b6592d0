// The NetWeaver binding against an in-process fake of the NetWeaver library: what each classic
// operation asks of the library, and what it makes of the library's answers.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "session/error_report.h"
#include "nwbinding/nwrfc_binding.h"
#include "nwbinding/nwrfc_text.h"
#include "fuzz/memory_platform.h"

namespace {

using kestrovan::nwbinding::NwRfcFunctions;

// ---------------------------------------------------------------------------------------------
// The fake library: one connection, one function; containers are told apart by the names they
// stand for, so a structure's field "RFCSI_EXPORT-RFCHOST" and a table row's "TAB-NAME" answer
// from the same map.

struct Fake {
  std::vector<std::pair<std::u16string, std::u16string>> logon;
  int opens = 0;
  nwrfc::Rc invoke_rc = nwrfc::kOk;
  nwrfc::Group invoke_group = nwrfc::kGroupOk;
  std::u16string invoke_key, invoke_message;
  std::u16string open_message; // not empty: the open fails with it
  bool hang = false;
  bool cancelled = false;
  bool unknown_function = false; // the system has no such function module
  std::mutex mutex;
  std::condition_variable wake;
  std::map<std::u16string, std::u16string> chars; // "NAME" or "STRUCT-FIELD" or "TAB#row-FIELD"
  std::map<std::u16string, int> ints;
  std::map<std::u16string, unsigned> rows;
  std::map<std::u16string, unsigned> current_row;
  int closes = 0;
};

Fake *g_fake = nullptr;

// Containers: the function is "", a structure or table is its parameter name.
std::map<std::u16string, int> g_container_ids;
std::vector<std::u16string> g_containers;

nwrfc::Opaque *Container(const std::u16string &name) {
  const auto found = g_container_ids.find(name);
  if (found != g_container_ids.end()) {
    return reinterpret_cast<nwrfc::Opaque *>(found->second + 16);
  }
  g_containers.push_back(name);
  g_container_ids[name] = static_cast<int>(g_containers.size() - 1);
  return reinterpret_cast<nwrfc::Opaque *>(g_containers.size() - 1 + 16);
}

std::u16string NameOf(nwrfc::Opaque *container) {
  return g_containers.at(reinterpret_cast<std::uintptr_t>(container) - 16);
}

/// The key a field of a container is answered by.
std::u16string FieldKey(nwrfc::Opaque *container, const char16_t *name) {
  const std::u16string owner = NameOf(container);
  if (owner.empty()) {
    return name;
  }
  const auto row = g_fake->current_row.find(owner);
  if (row != g_fake->current_row.end()) {
    return owner + u"#" + static_cast<char16_t>(u'0' + row->second) + u"-" + name;
  }
  return owner + u"-" + name;
}

nwrfc::Rc Fail(nwrfc::ErrorInfo *error, nwrfc::Rc code, const std::u16string &message) {
  *error = nwrfc::ErrorInfo{};
  error->code = code;
  error->group = nwrfc::kGroupExternalRuntimeFailure;
  std::copy(message.begin(), message.end(), error->message);
  return code;
}

nwrfc::ConnectionHandle NWRFC_CALL FakeOpen(const nwrfc::ConnectionParameter *parameters,
                                            unsigned count, nwrfc::ErrorInfo *error) {
  ++g_fake->opens;
  g_fake->logon.clear();
  for (unsigned i = 0; i < count; ++i) {
    g_fake->logon.emplace_back(parameters[i].name, parameters[i].value);
  }
  if (!g_fake->open_message.empty()) {
    Fail(error, nwrfc::kCommunicationFailure, g_fake->open_message);
    error->group = nwrfc::kGroupCommunicationFailure;
    return nullptr;
  }
  return reinterpret_cast<nwrfc::ConnectionHandle>(1);
}
nwrfc::Rc NWRFC_CALL FakeClose(nwrfc::ConnectionHandle, nwrfc::ErrorInfo *) {
  ++g_fake->closes;
  return nwrfc::kOk;
}
nwrfc::FunctionDescHandle NWRFC_CALL FakeDesc(nwrfc::ConnectionHandle, const char16_t *,
                                              nwrfc::ErrorInfo *error) {
  if (g_fake->unknown_function) {
    Fail(error, nwrfc::kNotFound, u"Function module not found");
    error->group = nwrfc::kGroupAbapApplicationFailure;
    std::copy_n(u"FU_NOT_FOUND", 12, error->key);
    return nullptr;
  }
  return reinterpret_cast<nwrfc::FunctionDescHandle>(2);
}
nwrfc::ContainerHandle NWRFC_CALL FakeCreate(nwrfc::FunctionDescHandle, nwrfc::ErrorInfo *) {
  return Container(u"");
}
nwrfc::Rc NWRFC_CALL FakeDestroy(nwrfc::ContainerHandle, nwrfc::ErrorInfo *) { return nwrfc::kOk; }
nwrfc::Rc NWRFC_CALL FakeInvoke(nwrfc::ConnectionHandle, nwrfc::ContainerHandle,
                                nwrfc::ErrorInfo *error) {
  if (g_fake->hang) {
    std::unique_lock lock(g_fake->mutex);
    g_fake->wake.wait(lock, [] { return g_fake->cancelled; });
    return Fail(error, nwrfc::kCanceled, u"Connection was canceled.");
  }
  *error = nwrfc::ErrorInfo{};
  error->code = g_fake->invoke_rc;
  error->group = g_fake->invoke_group;
  std::copy(g_fake->invoke_key.begin(), g_fake->invoke_key.end(), error->key);
  std::copy(g_fake->invoke_message.begin(), g_fake->invoke_message.end(), error->message);
  return g_fake->invoke_rc;
}
nwrfc::Rc NWRFC_CALL FakeCancel(nwrfc::ConnectionHandle, nwrfc::ErrorInfo *) {
  std::lock_guard lock(g_fake->mutex);
  g_fake->cancelled = true;
  g_fake->wake.notify_all();
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL FakeSetChars(nwrfc::ContainerHandle c, const char16_t *name,
                                  const char16_t *value, unsigned length, nwrfc::ErrorInfo *) {
  g_fake->chars[FieldKey(c, name)] = std::u16string(value, length);
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL FakeGetChars(nwrfc::ContainerHandle c, const char16_t *name, char16_t *buffer,
                                  unsigned length, nwrfc::ErrorInfo *error) {
  const auto found = g_fake->chars.find(FieldKey(c, name));
  if (found == g_fake->chars.end()) {
    return Fail(error, nwrfc::kInvalidParameter, u"no field");
  }
  if (found->second.size() > length) {
    return Fail(error, nwrfc::kBufferTooSmall, u"too small");
  }
  std::fill_n(buffer, length, u' '); // blank-padded and not terminated, as the library does
  std::copy(found->second.begin(), found->second.end(), buffer);
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL FakeGetInt(nwrfc::ContainerHandle c, const char16_t *name, int *value,
                                nwrfc::ErrorInfo *error) {
  const auto found = g_fake->ints.find(FieldKey(c, name));
  if (found == g_fake->ints.end()) {
    return Fail(error, nwrfc::kInvalidParameter, u"no field");
  }
  *value = found->second;
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL FakeChild(nwrfc::ContainerHandle, const char16_t *name,
                               nwrfc::ContainerHandle *child, nwrfc::ErrorInfo *) {
  *child = Container(name);
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL FakeRowCount(nwrfc::ContainerHandle t, unsigned *count, nwrfc::ErrorInfo *) {
  *count = g_fake->rows[NameOf(t)];
  return nwrfc::kOk;
}
nwrfc::Rc NWRFC_CALL FakeMoveTo(nwrfc::ContainerHandle t, unsigned row, nwrfc::ErrorInfo *) {
  g_fake->current_row[NameOf(t)] = row;
  return nwrfc::kOk;
}

/// A fresh fake bound to the binding, its files held in memory.
struct Bound {
  Bound() {
    g_fake = &fake;
    NwRfcFunctions functions;
    functions.OpenConnection = FakeOpen;
    functions.CloseConnection = FakeClose;
    functions.GetFunctionDesc = FakeDesc;
    functions.CreateFunction = FakeCreate;
    functions.DestroyFunction = FakeDestroy;
    functions.Invoke = FakeInvoke;
    functions.SetChars = FakeSetChars;
    functions.GetChars = FakeGetChars;
    functions.GetInt = FakeGetInt;
    functions.GetStructure = FakeChild;
    functions.GetTable = FakeChild;
    functions.GetRowCount = FakeRowCount;
    functions.MoveTo = FakeMoveTo;
    functions.Cancel = FakeCancel;
    library = kestrovan::nwbinding::BindNwRfcLibrary(functions, os);
  }
  ~Bound() { g_fake = nullptr; }

  RFC_HANDLE Open(std::string mode = "R/3") {
    RFC_CONNOPT_R3 server{host.data(), 4, nullptr, nullptr};
    RFC_CONNOPT_CPIC gateway{host.data(), service.data()};
    RFC_OPTIONS options{};
    options.destination = destination.data();
    options.mode = mode == "R/2" ? RFC_MODE_CPIC : RFC_MODE_R3ONLY;
    options.connopt = mode == "R/2" ? static_cast<void *>(&gateway) : &server;
    options.client = client.data();
    options.user = user.data();
    options.password = password.data();
    options.language = language.data();
    return library->Open(&options);
  }

  RFC_ERROR_INFO Last() const {
    RFC_ERROR_INFO info{};
    library->LastError(&info);
    return info;
  }

  /// The ERROR line of the last trace block, as the sensor's error document shows it.
  std::string LastTraceError() {
    const std::string trace = os.files["Dev_Rfc.Trc"];
    const std::size_t at = trace.rfind("\nERROR       ");
    if (at == std::string::npos) {
      return "<none>";
    }
    return trace.substr(at + 13, trace.find('\n', at + 1) - at - 13);
  }

  MemoryPlatform os;
  Fake fake;
  const kestrovan::RfcLibrary *library = nullptr;
  std::string destination = "PRD", host = "prdhost", service = "sapgw04", client = "100",
              user = "MONITOR     ", password = "Secret1   ", language = "E";
};

std::string Text(const RFC_ERROR_INFO &info, const char *field) {
  const char *value = std::strcmp(field, "key") == 0       ? info.key
                      : std::strcmp(field, "status") == 0  ? info.status
                      : std::strcmp(field, "message") == 0 ? info.message
                                                           : info.intstat;
  return value;
}

// ---------------------------------------------------------------------------------------------

TEST(NwRfcText, NonAsciiInBothDirections) {
  const struct {
    const char *name;
    std::string ansi;
    std::u16string wide;
    std::string back; // what the wide text narrows to
  } cases[] = {
      {"latin",
       "Gr\xFC\xDF"
       "e",
       u"Grüße",
       "Gr\xFC\xDF"
       "e"},
      {"euro from the code page's upper controls", "\x80 \x9F", u"€ Ÿ", "\x80 \x9F"},
      {"undefined byte keeps its control", "\x81", u"\u0081", "\x81"},
      {"no-break space",
       "a\xA0"
       "b",
       u"a\u00A0b",
       "a\xA0"
       "b"},
      {"outside the code page", "", u"中", "#"},
      {"surrogate pair is one character", "", u"a\U0001F600b", "a#b"},
      {"lone surrogate", "", u"\xD800x", "#x"},
  };
  for (const auto &c : cases) {
    if (!c.ansi.empty()) {
      EXPECT_EQ(kestrovan::nwbinding::WidenAnsi(c.ansi), c.wide) << c.name;
    }
    EXPECT_EQ(kestrovan::nwbinding::NarrowToAnsi(c.wide), c.back) << c.name;
  }
}

TEST(NwRfcText, ProfileTextAsUtf8WithWindows1252ForWhatIsNotUtf8) {
  const struct {
    const char *name;
    std::string bytes;
    std::u16string wide;
  } cases[] = {
      {"ascii", "Secret1", u"Secret1"},
      {"two-byte sequences", "Gr\xC3\xBC\xC3\x9F", u"Grüß"},
      {"three-byte sequence",
       "\xE2\x82\xAC"
       "5",
       u"€5"},
      {"four-byte sequence", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a lone Windows-1252 byte", "Gr\xFC\xDF", u"Grüß"},
      {"an upper control byte", "\x80", u"€"},
      {"overlong form", "\xC0\xAF", u"\u00C0\u00AF"},
      {"encoded surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},
      {"cut sequence", "\xE2\x82", u"\u00E2\u201A"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(kestrovan::nwbinding::WidenUtf8OrAnsi(c.bytes), c.wide) << c.name;
  }
}

TEST(NwRfcBinding, ErrorRecordInEightBitTextCutToItsFields) {
  nwrfc::ErrorInfo error{};
  error.code = nwrfc::kAbapMessage;
  error.group = nwrfc::kGroupAbapRuntimeFailure;
  std::fill_n(error.key, 127, u'K');
  const std::u16string message = u"Größe 中 für Secret1";
  std::copy(message.begin(), message.end(), error.message);
  const std::u16string id_class = u"SY", id_type = u"E", id_number = u"002";
  std::copy(id_class.begin(), id_class.end(), error.abapMsgClass);
  std::copy(id_type.begin(), id_type.end(), error.abapMsgType);
  std::copy(id_number.begin(), id_number.end(), error.abapMsgNumber);

  const RFC_ERROR_INFO record =
      kestrovan::nwbinding::ClassicErrorRecord(error, "RfcReceive", "Secret1");
  EXPECT_EQ(Text(record, "key"), std::string(32, 'K'));
  EXPECT_EQ(record.key[32], '\0');
  EXPECT_EQ(Text(record, "status"), "RFC_ABAP_MESSAGE");
  EXPECT_EQ(Text(record, "message"), "Gr\xF6\xDF"
                                     "e # f\xFCr *******");
  EXPECT_EQ(Text(record, "intstat"), "RfcReceive group ABAP_RUNTIME_FAILURE message E SY 002");

  // A field filled to its last unit has no terminator: the text ends with the field.
  nwrfc::ErrorInfo full{};
  std::fill(std::begin(full.key), std::end(full.key), u'K');
  full.message[0] = u'M';
  EXPECT_EQ(kestrovan::nwbinding::NarrowField(full.key, std::size(full.key)),
            std::string(128, 'K'));
}

TEST(NwRfcBinding, ReturnCodesAsTheClassicLibraryReportsThem) {
  const struct {
    const char *name;
    nwrfc::Rc rc;
    RFC_RC classic;
    const char *exception; // handed out by RfcReceive, or null
    bool handler;          // the error handler was called
    bool stays_open;       // a second call on the connection goes through
  } cases[] = {
      {"ok", nwrfc::kOk, RFC_OK, nullptr, false, true},
      {"abap exception", nwrfc::kAbapException, RFC_EXCEPTION, "NOT_FOUND", false, true},
      {"runtime failure", nwrfc::kAbapRuntimeFailure, RFC_SYS_EXCEPTION, "NOT_FOUND", false, false},
      {"abap message", nwrfc::kAbapMessage, RFC_SYS_EXCEPTION, "NOT_FOUND", false, false},
      {"abap class exception", nwrfc::kAbapClassException, RFC_SYS_EXCEPTION, "NOT_FOUND", false,
       false},
      {"communication", nwrfc::kCommunicationFailure, RFC_FAILURE, nullptr, false, false},
      {"closed", nwrfc::kClosed, RFC_FAILURE, nullptr, false, false},
      {"protocol", nwrfc::kInvalidProtocol, RFC_FAILURE, nullptr, true, false},
      {"serialization", nwrfc::kSerializationFailure, RFC_FAILURE, nullptr, true, false},
  };
  static std::string g_handled;
  for (const auto &c : cases) {
    Bound b;
    g_handled.clear();
    RFC_ENV environment{[](char *operation) { g_handled = operation; }, nullptr};
    b.library->Environment(&environment);
    b.fake.invoke_rc = c.rc;
    b.fake.invoke_key = u"NOT_FOUND";
    b.fake.invoke_message = u"Nicht gefunden: ü";
    const RFC_HANDLE handle = b.Open();
    ASSERT_NE(handle, 0u) << c.name;
    RFC_PARAMETER none[] = {RFC_PARAMETER{}};
    RFC_TABLE no_tables[] = {RFC_TABLE{}};
    ASSERT_EQ(b.library->Call(handle, "RFC_PING", none, no_tables), RFC_OK) << c.name;
    char *exception = nullptr;
    EXPECT_EQ(b.library->Receive(handle, none, no_tables, &exception), c.classic) << c.name;
    EXPECT_EQ(exception ? std::string(exception) : "<null>", c.exception ? c.exception : "<null>")
        << c.name;
    EXPECT_EQ(g_handled, c.handler ? "RfcReceive" : "") << c.name;
    if (c.classic != RFC_OK) {
      EXPECT_EQ(b.LastTraceError(), "Nicht gefunden: \xFC") << c.name;
      EXPECT_EQ(Text(b.Last(), "message"), "Nicht gefunden: \xFC") << c.name;
    }
    EXPECT_EQ(b.library->Call(handle, "RFC_PING", none, no_tables) == RFC_OK, c.stays_open)
        << c.name;
  }
}

TEST(NwRfcBinding, SapsKeyedMessageBecomesLinesOfTheTraceBlock) {
  Bound b;
  b.fake.invoke_rc = nwrfc::kCommunicationFailure;
  b.fake.invoke_group = nwrfc::kGroupCommunicationFailure;
  const std::vector<std::string> lines = {"LOCATION    CPIC (TCP/IP) on local host with Unicode",
                                          "ERROR       partner '127.41.0.2:3398' not reached",
                                          "TIME        Tue Mar 05 14:03:27 2024",
                                          "COMPONENT   NI (network interface)",
                                          "DETAIL      logon of MONITOR with Secret1",
                                          "COUNTER     1"};
  std::u16string message = u"\n";
  for (const std::string &line : lines) {
    message += std::u16string(line.begin(), line.end()) + u"\n";
  }
  b.fake.invoke_message = message;
  const RFC_HANDLE handle = b.Open();
  RFC_PARAMETER none[] = {RFC_PARAMETER{}};
  RFC_TABLE no_tables[] = {RFC_TABLE{}};
  ASSERT_EQ(b.library->Call(handle, "RFC_PING", none, no_tables), RFC_OK);
  char *exception = nullptr;
  EXPECT_EQ(b.library->Receive(handle, none, no_tables, &exception), RFC_FAILURE);
  // What the sensor's error document shows, read as the sensor reads the trace.
  EXPECT_EQ(kestrovan::ReadTraceDetail(b.os), "partner '127.41.0.2:3398' not reached");
  EXPECT_EQ(Text(b.Last(), "message"), "partner '127.41.0.2:3398' not reached");
  const std::string trace = b.os.files["Dev_Rfc.Trc"];
  EXPECT_EQ(trace.find("Secret1"), std::string::npos) << trace;
  for (std::string line : lines) {
    if (line.find("Secret1") != std::string::npos) {
      line.replace(line.find("Secret1"), 7, "*******");
    }
    EXPECT_NE(trace.find("\n" + line + "\n"), std::string::npos) << line << "\n" << trace;
  }
}

TEST(NwRfcBinding, AnUnknownFunctionModuleIsASystemException) {
  Bound b;
  b.fake.unknown_function = true;
  const RFC_HANDLE handle = b.Open();
  RFC_PARAMETER none[] = {RFC_PARAMETER{}};
  RFC_TABLE no_tables[] = {RFC_TABLE{}};
  // The classic library learns of it with the reply, as the system's failure of the call.
  ASSERT_EQ(b.library->Call(handle, "Z_NOWHERE", none, no_tables), RFC_OK);
  char *exception = nullptr;
  EXPECT_EQ(b.library->Receive(handle, none, no_tables, &exception), RFC_SYS_EXCEPTION);
  EXPECT_EQ(exception ? std::string(exception) : "<null>", "FU_NOT_FOUND");
}

TEST(NwRfcBinding, GatewayModeIsRefusedWithoutAskingTheLibrary) {
  Bound b;
  EXPECT_EQ(b.Open("R/2"), 0u);
  EXPECT_EQ(b.fake.opens, 0);
  EXPECT_EQ(b.LastTraceError(), kestrovan::nwbinding::kGatewayModeRefused);
  EXPECT_EQ(Text(b.Last(), "status"),
            std::string(kestrovan::nwbinding::kGatewayModeRefused.substr(0, 127)));
}

TEST(NwRfcBinding, LogonParametersFromTheOptionsOrTheDestinationEntry) {
  using Logon = std::vector<std::pair<std::u16string, std::u16string>>;
  Bound b;
  ASSERT_NE(b.Open(), 0u);
  // The classic fields' blank padding is not part of user and password.
  EXPECT_EQ(b.fake.logon, (Logon{{u"ASHOST", u"prdhost"},
                                 {u"SYSNR", u"04"},
                                 {u"CLIENT", u"100"},
                                 {u"USER", u"MONITOR"},
                                 {u"PASSWD", u"Secret1"},
                                 {u"LANG", u"E"}}));

  b.os.files["SapRfc.ini"] =
      std::string("/* demo\r\n DEST=QAS */\r\nDEST=PRD\r\nTYPE=A\r\nASHOST=h\xE4st\r\n"
                  "SYSNR=07\r\nGWHOST=gw\r\nLANG=E\r\nDEST=PRD\r\nASHOST=second\r\n");
  RFC_ERROR_INFO_EX info{};
  EXPECT_NE(b.library->OpenEx("CLIENT=100 USER=monitor PASSWD=\"a b\" LANG=D DEST=PRD", &info), 0u);
  EXPECT_EQ(b.fake.logon, (Logon{{u"ASHOST", u"häst"},
                                 {u"SYSNR", u"07"},
                                 {u"CLIENT", u"100"},
                                 {u"USER", u"monitor"},
                                 {u"PASSWD", u"a b"},
                                 {u"LANG", u"D"}}));

  // Profile text reaches the library as the profile's platform stores it: UTF-8 on Linux.
  EXPECT_NE(b.library->OpenEx("CLIENT=100 USER=monitor PASSWD=Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC "
                              "LANG=D DEST=PRD",
                              &info),
            0u);
#ifdef _WIN32
  EXPECT_EQ(b.fake.logon[4].second, u"GrÃ¼ÃŸâ‚¬");
#else
  EXPECT_EQ(b.fake.logon[4].second, u"Grüß€");
#endif

  // Secure and routed logons: the keys go on under SAP's names, a route in front of the host
  // goes to SAPROUTER; keys the library does not take stay behind.
  b.os.files["SapRfc.ini"] = "DEST=SEC\r\nTYPE=A\r\nASHOST=/H/gate.example/S/3299/H/sapprd\r\n"
                             "SYSNR=00\r\nSNC_MODE=1\r\nsnc_partnername=p:CN=PRD\r\nSNC_QOP=9\r\n"
                             "SNC_MYNAME=p:CN=MON\r\nSNC_LIB=/opt/sap/libsapcrypto.so\r\n"
                             "FAVOURITE=blue\r\n";
  EXPECT_NE(b.library->OpenEx("CLIENT=100 USER=monitor PASSWD=x DEST=SEC", &info), 0u);
  EXPECT_EQ(b.fake.logon, (Logon{{u"ASHOST", u"sapprd"},
                                 {u"SYSNR", u"00"},
                                 {u"CLIENT", u"100"},
                                 {u"USER", u"monitor"},
                                 {u"PASSWD", u"x"},
                                 {u"SNC_MODE", u"1"},
                                 {u"SNC_PARTNERNAME", u"p:CN=PRD"},
                                 {u"SNC_QOP", u"9"},
                                 {u"SNC_MYNAME", u"p:CN=MON"},
                                 {u"SNC_LIB", u"/opt/sap/libsapcrypto.so"},
                                 {u"SAPROUTER", u"/H/gate.example/S/3299"}}));

  // An entry the binding cannot use is its own failure, with the group the classic record has.
  EXPECT_EQ(b.library->OpenEx("CLIENT=100 DEST=NONE", &info), 0u);
  EXPECT_EQ(info.group, 3);
  EXPECT_EQ(b.LastTraceError(), "invalid connect data");
  EXPECT_EQ(b.fake.opens, 4);
}

// The profile's host may carry a route with a router password; the library needs both
// passwords, nothing it writes or says back may carry either of them on.
TEST(NwRfcBinding, ARouteInTheProfilesHostGoesToSaprouterAndNoPasswordReachesTheTrace) {
  Bound b;
  b.host = "/H/127.0.0.1/S/3299/W/Rt-Secret-77/H/prdhost";
#ifdef _WIN32
  b.password = "Gr\xFC\xDF"
               "1"; // as the profile holds it on Windows: Windows-1252
#else
  b.password = "Gr\xC3\xBC\xC3\x9F"
               "1"; // as the profile holds it on Linux: UTF-8
#endif
  b.fake.open_message = u"partner '/H/127.0.0.1/S/3299/W/Rt-Secret-77/H/prdhost:3304' not "
                        u"reached for Grüß1";
  EXPECT_EQ(b.Open(), 0u);
  ASSERT_EQ(b.fake.logon.size(), 7u);
  EXPECT_EQ(b.fake.logon[0], (std::pair<std::u16string, std::u16string>{u"ASHOST", u"prdhost"}));
  EXPECT_EQ(b.fake.logon[6], (std::pair<std::u16string, std::u16string>{
                                 u"SAPROUTER", u"/H/127.0.0.1/S/3299/W/Rt-Secret-77"}));
  const std::string trace = b.os.files["Dev_Rfc.Trc"];
  const std::string message = Text(b.Last(), "message");
  for (const std::string secret : {"Rt-Secret-77",
                                   "Gr\xFC\xDF"
                                   "1",
                                   "Gr\xC3\xBC\xC3\x9F"
                                   "1"}) {
    EXPECT_EQ(trace.find(secret), std::string::npos) << trace;
    EXPECT_EQ(message.find(secret), std::string::npos) << message;
  }
  EXPECT_NE(trace.find("LOCATION    RfcOpen to ASHOST /H/127.0.0.1/S/3299/W/************/H/prdhost "
                       "SYSNR 04\n"),
            std::string::npos)
      << trace;
}

TEST(NwRfcBinding, ReceivedValuesFillTheClassicBuffersByName) {
  Bound b;
  b.fake.chars = {{u"DIALOG_USER_TYPE", u"X"},
                  {u"LONG", u"ABCDEFGH"}, // longer than the caller's 4: cut, as classic
                  {u"RFCSI_EXPORT-RFCHOST", u"häst"},
                  {u"RFCSI_EXPORT-RFCDBSYS", u"ORACLE"},
                  {u"MISSING_INDEX#0-NAME", u"IDX1"},
                  {u"MISSING_INDEX#1-NAME", u"IDX2"}};
  b.fake.ints = {{u"CURRENT_RESOURCES", -7}};
  b.fake.rows = {{u"MISSING_INDEX", 2}};

  RFC_TYPE_ELEMENT rfcsi[] = {{const_cast<char *>("RFCHOST"), TYPC, 8, 0, 0},
                              {const_cast<char *>("RFCDBSYS"), TYPC, 10, 0, 0}};
  RFC_TYPE_ELEMENT ora[] = {{const_cast<char *>("NAME"), TYPC, 6, 0, 0}};
  RFC_TYPEHANDLE rfcsi_type = 0, ora_type = 0;
  ASSERT_EQ(b.library->InstallStructure("RFCSI", rfcsi, 2, &rfcsi_type), RFC_OK);
  ASSERT_EQ(b.library->InstallStructure("ORA_MISS", ora, 1, &ora_type), RFC_OK);
  const ITAB_H table = b.library->ItCreate(const_cast<char *>("MISSING_INDEX"), 6, 0, 0);

  std::int32_t resources = 0;
  char user_type[1] = {'?'}, longer[4], untouched[3] = {'u', 'u', 'u'}, record[18];
  std::memset(record, '.', sizeof record);
  RFC_PARAMETER importing[] = {{const_cast<char *>("CURRENT_RESOURCES"), 17, TYPINT, 4, &resources},
                               {const_cast<char *>("DIALOG_USER_TYPE"), 16, TYPC, 1, user_type},
                               {const_cast<char *>("LONG"), 4, TYPC, 4, longer},
                               {const_cast<char *>("NOT_SENT"), 8, TYPC, 3, untouched},
                               {const_cast<char *>("RFCSI_EXPORT"), 12, rfcsi_type, 18, record},
                               RFC_PARAMETER{}};
  RFC_TABLE tables[] = {{const_cast<char *>("MISSING_INDEX"), 13, ora_type, 6, table, 0, 0},
                        RFC_TABLE{}};
  const RFC_HANDLE handle = b.Open();
  RFC_PARAMETER none[] = {RFC_PARAMETER{}};
  ASSERT_EQ(b.library->Call(handle, "RFC_SYSTEM_INFO", none, tables), RFC_OK);
  char *exception = nullptr;
  ASSERT_EQ(b.library->Receive(handle, importing, tables, &exception), RFC_OK)
      << b.LastTraceError();

  EXPECT_EQ(resources, -7);
  EXPECT_EQ(std::string(user_type, 1), "X");
  EXPECT_EQ(std::string(longer, 4), "ABCD");
  EXPECT_EQ(std::string(untouched, 3), "uuu");
  EXPECT_EQ(std::string(record, 18), "h\xE4st    ORACLE    ");
  ASSERT_EQ(b.library->ItFill(table), 2u);
  EXPECT_EQ(std::string(static_cast<char *>(b.library->ItGetLine(table, 2)), 6), "IDX2  ");
  EXPECT_EQ(b.library->ItGetLine(table, 3), nullptr);
  b.library->Close(handle);
  EXPECT_EQ(b.fake.closes, 1);
}

TEST(NwRfcBinding, ATableBeyondTheClassicBoundIsRefusedBeforeItsRowsAreRead) {
  static std::string g_handled;
  Bound b;
  g_handled.clear();
  RFC_ENV environment{[](char *operation) { g_handled = operation; }, nullptr};
  b.library->Environment(&environment);
  // 11,184,811 rows of 6 bytes are 2 bytes more than 64 MiB.
  b.fake.rows = {{u"MISSING_INDEX", 11184811}};
  RFC_TYPE_ELEMENT ora[] = {{const_cast<char *>("NAME"), TYPC, 6, 0, 0}};
  RFC_TYPEHANDLE ora_type = 0;
  ASSERT_EQ(b.library->InstallStructure("ORA_MISS", ora, 1, &ora_type), RFC_OK);
  const ITAB_H table = b.library->ItCreate(const_cast<char *>("MISSING_INDEX"), 6, 0, 0);
  RFC_TABLE tables[] = {{const_cast<char *>("MISSING_INDEX"), 13, ora_type, 6, table, 0, 0},
                        RFC_TABLE{}};
  RFC_PARAMETER none[] = {RFC_PARAMETER{}};
  const RFC_HANDLE handle = b.Open();
  ASSERT_EQ(b.library->Call(handle, "DB_ORA_MISSING_INDICES", none, tables), RFC_OK);
  char *exception = nullptr;
  EXPECT_EQ(b.library->Receive(handle, none, tables, &exception), RFC_FAILURE);
  EXPECT_EQ(b.LastTraceError(), "malformed data from partner");
  EXPECT_EQ(Text(b.Last(), "message"),
            "malformed data from partner: table MISSING_INDEX: 11184811 rows of 6 bytes would "
            "take the reply's tables beyond 67108864 bytes");
  EXPECT_EQ(g_handled, "RfcReceive") << "a partner beyond the bounds breaks the protocol";
  EXPECT_EQ(b.fake.current_row.count(u"MISSING_INDEX"), 0u) << "no row was read";
  EXPECT_EQ(b.library->ItFill(table), 0u);
  EXPECT_EQ(b.fake.closes, 1) << "the connection is closed, as the classic library closes it";
}

/// RFC_PING against a library that never answers, received on a thread of its own as the
/// session receives it, while this thread plays the run's watchdog: it asks for the step's limit
/// and says the step is overrun until it is back. Returns the limit.
long long ReceiveWithoutAnswer(Bound &b) {
  b.fake.hang = true;
  const RFC_HANDLE handle = b.Open();
  RFC_PARAMETER none[] = {RFC_PARAMETER{}};
  RFC_TABLE no_tables[] = {RFC_TABLE{}};
  EXPECT_EQ(b.library->Call(handle, "RFC_PING", none, no_tables), RFC_OK);
  const long long limit = b.library->StepLimit(kestrovan::RfcWait::Remote, handle);
  std::atomic<bool> back{false};
  RFC_RC code = RFC_OK;
  std::thread library([&] {
    char *exception = nullptr;
    code = b.library->Receive(handle, none, no_tables, &exception);
    back = true;
  });
  while (!back) {
    b.library->Overrun(kestrovan::RfcWait::Remote, handle);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  library.join();
  EXPECT_EQ(code, RFC_FAILURE);
  return limit;
}

TEST(NwRfcBinding, TheConnectionsTimeCutsTheLimitOfACall) {
  Bound b;
  b.os.files["NwRfcLimits.ini"] = "CALL_TIMEOUT=2s\nCONNECTION_TIMEOUT=100ms\n";
  // The limit the call is given is what is left of the connection's 100 ms, not the call's 2 s.
  const long long limit = ReceiveWithoutAnswer(b);
  EXPECT_LE(limit, 100);
  EXPECT_GE(limit, 0);
  EXPECT_TRUE(b.fake.cancelled);
  const std::string trace = b.os.files["Dev_Rfc.Trc"];
  const std::size_t at = trace.find("no answer within ");
  ASSERT_NE(at, std::string::npos) << trace;
  EXPECT_LE(std::stoi(trace.substr(at + 17)), 100) << trace;
}

TEST(NwRfcBinding, AnOverrunCallIsCancelledAndFailsAsATimeout) {
  Bound b;
  b.os.files["NwRfcLimits.ini"] = "# short, for the test\nCALL_TIMEOUT=50ms\n";
  EXPECT_EQ(ReceiveWithoutAnswer(b), 50);
  EXPECT_TRUE(b.fake.cancelled);
  EXPECT_EQ(b.LastTraceError(), "timeout during receive");
  const std::string trace = b.os.files["Dev_Rfc.Trc"];
  EXPECT_NE(trace.find("RFC_CANCELED"), std::string::npos);
  // Stamped by the platform's clock, in the classic trace's two forms.
  EXPECT_EQ(trace.rfind("**** ERROR file opened at 20240305 140327, SAP-REL 0,0,0 RFC-VER 3 NWRFC\n"
                        "LOCATION    RfcReceive handle ",
                        0),
            0u);
  EXPECT_NE(trace.find("\nTIME        Tue Mar 05 14:03:27 2024\n"), std::string::npos);
}

} // namespace
