// The scripted RFC library: plain functions that forward to the one active FakeRfc.
#include "fake_rfc_library.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

FakeRfc *g_fake = nullptr;

std::string Text(const char *text) { return text ? text : ""; }

void RFC_CALL Environment(RFC_ENV *env) {
  g_fake->calls.push_back("RfcEnvironment");
  g_fake->environment = *env;
}
RFC_HANDLE RFC_CALL Open(RFC_OPTIONS *options) { return g_fake->Open(options); }
RFC_HANDLE RFC_CALL OpenEx(const char *text, RFC_ERROR_INFO_EX *) { return g_fake->OpenEx(text); }
RFC_RC RFC_CALL Install(const char *name, RFC_TYPE_ELEMENT *, unsigned, RFC_TYPEHANDLE *handle) {
  g_fake->calls.push_back(std::string("RfcInstallStructure ") + name);
  g_fake->MaybeCallHandler("RfcInstallStructure");
  g_fake->installed.push_back(name);
  if (g_fake->install_result == RFC_OK) {
    *handle = static_cast<RFC_TYPEHANDLE>(100 + g_fake->installed.size());
  }
  return g_fake->install_result;
}
RFC_RC RFC_CALL Call(RFC_HANDLE, const char *function, RFC_PARAMETER *, RFC_TABLE *tables) {
  return g_fake->Call(function, tables);
}
RFC_RC RFC_CALL Receive(RFC_HANDLE, RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception) {
  return g_fake->Receive(importing, tables, exception);
}
ITAB_H RFC_CALL Create(char *name, unsigned length, unsigned, unsigned) {
  g_fake->calls.push_back("ItCreate " + Text(name));
  g_fake->MaybeCallHandler("ItCreate");
  if (g_fake->fail_it_create && g_fake->fail_table == Text(name)) {
    return 0;
  }
  g_fake->tables.push_back(
      std::make_unique<FakeRfc::Table>(FakeRfc::Table{Text(name), length, {}}));
  return reinterpret_cast<ITAB_H>(g_fake->tables.back().get());
}
unsigned RFC_CALL Fill(ITAB_H table) {
  g_fake->MaybeCallHandler("ItFill");
  if (g_fake->during_fill) {
    g_fake->during_fill();
  }
  if (table == 0) {
    return 0;
  }
  return static_cast<unsigned>(reinterpret_cast<FakeRfc::Table *>(table)->rows.size());
}
void *RFC_CALL GetLine(ITAB_H handle, unsigned line) {
  auto *table = reinterpret_cast<FakeRfc::Table *>(handle);
  g_fake->MaybeCallHandler("ItGetLine");
  if (g_fake->fail_it_get_line && g_fake->fail_table == table->name) {
    return nullptr;
  }
  if (line == 0 || line > table->rows.size()) {
    return nullptr;
  }
  return table->rows[line - 1].data();
}
int RFC_CALL Delete(ITAB_H handle) {
  auto *table = reinterpret_cast<FakeRfc::Table *>(handle);
  g_fake->calls.push_back("ItDelete " + table->name);
  g_fake->MaybeCallHandler("ItDelete");
  return g_fake->fail_it_delete && g_fake->fail_table == table->name ? 1 : 0;
}
int RFC_CALL LastError(RFC_ERROR_INFO *info) {
  g_fake->calls.push_back("RfcLastError");
  *info = g_fake->last_error;
  return 0;
}
void RFC_CALL Close(RFC_HANDLE handle) {
  FakeRfc &fake = *g_fake;
  std::unique_lock lock(fake.close_mutex);
  ++fake.closing;
  fake.calls.push_back("RfcClose " + std::to_string(handle));
  if (handle != 0) {
    lock.unlock();
    fake.MaybeCallHandler("RfcClose");
    lock.lock();
    fake.close_wake.wait_for(lock, fake.close_takes, [&] { return fake.ending; });
  }
  --fake.closing;
  fake.close_wake.notify_all();
}

const kestrovan::RfcLibrary kTable{Environment, Open, OpenEx,  Install, Call,      Receive,
                                   Create,      Fill, GetLine, Delete,  LastError, Close};

} // namespace

FakeRfc::FakeRfc() { g_fake = this; }

void FakeRfc::MaybeCallHandler(const std::string &operation) {
  if (operation != handler_during || !environment.errorhandler) {
    return;
  }
  handler_during.clear(); // once: the block's own RfcClose must not fire it again
  std::string name = operation;
  environment.errorhandler(name.data());
}
FakeRfc::~FakeRfc() {
  std::unique_lock lock(close_mutex);
  ending = true;
  close_wake.notify_all();
  close_wake.wait(lock, [&] { return closing == 0; });
  lock.unlock();
  g_fake = nullptr;
}
const kestrovan::RfcLibrary *FakeRfc::Library() const { return &kTable; }

RFC_HANDLE FakeRfc::Open(RFC_OPTIONS *options) {
  calls.push_back("RfcOpen");
  SeenOpen seen;
  seen.destination = Text(options->destination);
  seen.client = Text(options->client);
  seen.user = Text(options->user);
  seen.password = Text(options->password);
  seen.language = Text(options->language);
  seen.mode = options->mode;
  seen.trace = options->trace;
  if (options->mode == RFC_MODE_CPIC) {
    auto *gateway = static_cast<RFC_CONNOPT_CPIC *>(options->connopt);
    seen.gwhost_absent = !gateway->gateway_host;
    seen.gwservice_absent = !gateway->gateway_service;
    seen.gwhost = Text(gateway->gateway_host);
    seen.gwservice = Text(gateway->gateway_service);
  } else {
    auto *server = static_cast<RFC_CONNOPT_R3 *>(options->connopt);
    seen.host_absent = !server->hostname;
    seen.hostname = Text(server->hostname);
    seen.sysnr = server->sysnr;
    seen.gwhost_absent = !server->gateway_host;
    seen.gwservice_absent = !server->gateway_service;
    seen.gwhost = Text(server->gateway_host);
    seen.gwservice = Text(server->gateway_service);
  }
  opens.push_back(seen);
  if (on_open) {
    on_open(*this, seen);
  }
  MaybeCallHandler("RfcOpen");
  return open_result;
}

RFC_HANDLE FakeRfc::OpenEx(const char *text) {
  calls.push_back("RfcOpenEx");
  SeenOpen seen;
  seen.by_connect_text = true;
  seen.connect_text = Text(text);
  opens.push_back(seen);
  if (on_open) {
    on_open(*this, seen);
  }
  MaybeCallHandler("RfcOpenEx");
  return open_result;
}

RFC_RC FakeRfc::Call(const char *function, RFC_TABLE *) {
  current_function_ = Text(function);
  calls.push_back("RfcCall " + current_function_);
  MaybeCallHandler("RfcCall");
  auto it = call_result.find(current_function_);
  return it == call_result.end() ? RFC_OK : it->second;
}

RFC_RC FakeRfc::Receive(RFC_PARAMETER *importing, RFC_TABLE *list, char **exception) {
  calls.push_back("RfcReceive " + current_function_);
  MaybeCallHandler("RfcReceive");
  auto it = receive_result.find(current_function_);
  const RFC_RC code = it == receive_result.end() ? RFC_OK : it->second;
  if (code == RFC_EXCEPTION || code == RFC_SYS_EXCEPTION) {
    *exception = exception_name.data();
    return code;
  }
  if (code != RFC_OK) {
    return code;
  }
  for (RFC_PARAMETER *p = importing; p && p->name; ++p) {
    if (std::string(static_cast<const char *>(p->name), p->nlen) == "RFCSI_EXPORT") {
      std::memcpy(p->addr, rfcsi.data(), std::min<std::size_t>(p->leng, rfcsi.size()));
    }
  }
  for (RFC_TABLE *t = list; t && t->name; ++t) {
    auto *table = reinterpret_cast<Table *>(t->ithandle);
    const unsigned rows = table->name == "INDEX_NOT_DEFINED" ? not_defined_rows : missing_rows;
    for (unsigned i = 0; i < rows; ++i) {
      table->rows.emplace_back(table->line_length, 'X');
    }
  }
  return RFC_OK;
}
