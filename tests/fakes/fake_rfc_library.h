// A scripted, in-process RFC library for unit tests of the connection layer and the checks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rfcapi/rfc_library.h"

/// What the fake saw of one open.
struct SeenOpen {
  bool by_connect_text = false;
  std::string connect_text;
  std::string destination, client, user, password, language;
  int mode = -1;
  bool host_absent = true, gwhost_absent = true, gwservice_absent = true;
  std::string hostname, gwhost, gwservice;
  int sysnr = -1;
  int trace = -1;
};

/// One instance at a time is the library; its table routes every operation to it.
class FakeRfc {
public:
  FakeRfc();
  ~FakeRfc();
  const kestrovan::RfcLibrary *Library() const;

  // Script.
  RFC_HANDLE open_result = 7;
  std::map<std::string, RFC_RC> call_result;    // by function module; default RFC_OK
  std::map<std::string, RFC_RC> receive_result; // by function module; default RFC_OK
  std::string exception_name = "NOT_FOUND";
  std::string rfcsi = std::string(200, ' '); // RFCSI_EXPORT as sent back
  unsigned not_defined_rows = 0, missing_rows = 0;
  RFC_RC install_result = RFC_OK;
  bool fail_it_create = false, fail_it_get_line = false, fail_it_delete = false;
  std::string fail_table; // which table the It* failures hit
  RFC_ERROR_INFO last_error{};
  /// The operation ("RfcOpen", "ItFill", ...) during which the library calls the error handler
  /// with the operation's name, once, and then returns as if nothing had happened.
  std::string handler_during;
  /// How long a close of a connection takes. A run may leave such a close behind: the fake,
  /// when it goes, ends the wait and waits for the close to be out of it.
  std::chrono::milliseconds close_takes{0};
  /// Runs inside ItFill: lets a test call the error handler as the library would.
  std::function<void()> during_fill;
  /// Called at every open, before its result is taken: lets a test play several systems.
  std::function<void(FakeRfc &, const SeenOpen &)> on_open;

  // A close in progress, and the end of the fake, which cuts its wait short.
  std::mutex close_mutex;
  std::condition_variable close_wake;
  int closing = 0;
  bool ending = false;

  // Record.
  std::vector<std::string> calls; // operation names in order
  std::vector<SeenOpen> opens;
  RFC_ENV environment{};
  std::vector<std::string> installed;

  // Library side (reached through the table).
  RFC_HANDLE Open(RFC_OPTIONS *options);
  RFC_HANDLE OpenEx(const char *text);
  RFC_RC Call(const char *function, RFC_TABLE *tables);
  RFC_RC Receive(RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception);

  struct Table {
    std::string name;
    unsigned line_length;
    std::vector<std::string> rows;
  };
  std::vector<std::unique_ptr<Table>> tables;

  /// Calls the error handler when the operation is the scripted one.
  void MaybeCallHandler(const std::string &operation);

private:
  std::string current_function_;
};
