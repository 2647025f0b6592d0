// The twelve operations of the classic SAP RFC client library, declared in that library's C shape.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define RFC_CALL __stdcall
#else
#define RFC_CALL
#endif

extern "C" {

/// Connection handle; 0 means no connection.
typedef unsigned int RFC_HANDLE;
/// Internal-table handle: pointer-sized and opaque; 0 means none.
typedef std::uintptr_t ITAB_H;
/// Structure type handle as returned by RfcInstallStructure; 0 until installed.
typedef unsigned int RFC_TYPEHANDLE;
typedef int RFC_RC;

enum : RFC_RC {
  RFC_OK = 0,
  RFC_FAILURE = 1,
  RFC_EXCEPTION = 2,
  RFC_SYS_EXCEPTION = 3,
};

/// Type codes of parameters and structure elements.
enum : unsigned {
  TYPC = 0,    // characters, blank padded, not zero-terminated
  TYPDATE = 1, // YYYYMMDD
  TYPTIME = 3, // HHMMSS
  TYPINT = 8,  // signed 32-bit integer
};

/// Called by the library with the name of a failing operation; the program's handler does not
/// return.
typedef void(RFC_CALL *RFC_ERROR_HANDLER)(char *operation);
typedef void *(RFC_CALL *RFC_ALLOCATE)(void *old, std::size_t size);

struct RFC_ENV {
  RFC_ERROR_HANDLER errorhandler;
  RFC_ALLOCATE allocate; // unused: always null here
};

/// Connection options for mode 0 (an R/3 application server reached through its gateway).
struct RFC_CONNOPT_R3 {
  char *hostname; // null = absent
  int sysnr;
  char *gateway_host;    // null = absent
  char *gateway_service; // null = absent
};

/// Connection options for mode 1 ("R/2": straight to a gateway host and service).
struct RFC_CONNOPT_CPIC {
  char *gateway_host;
  char *gateway_service;
};

enum : int { RFC_MODE_R3ONLY = 0, RFC_MODE_CPIC = 1 };

struct RFC_OPTIONS {
  char *destination;
  int mode;      // RFC_MODE_R3ONLY or RFC_MODE_CPIC
  void *connopt; // RFC_CONNOPT_R3* for mode 0, RFC_CONNOPT_CPIC* for mode 1
  char *client;
  char *user;
  char *password;
  char *language;
  int trace;
};

/// One field of a structure description.
struct RFC_TYPE_ELEMENT {
  char *name;
  unsigned type;
  unsigned length;
  unsigned decimals;
  unsigned offset;
};

/// Exporting or importing parameter; a list ends with an entry whose name is null.
struct RFC_PARAMETER {
  void *name;
  unsigned nlen;
  unsigned type; // a type code or an RFC_TYPEHANDLE
  unsigned leng;
  void *addr;
};

/// Table parameter; a list ends with an entry whose name is null.
struct RFC_TABLE {
  void *name;
  unsigned nlen;
  unsigned type; // the line type: an RFC_TYPEHANDLE
  unsigned leng; // line length, as given to ItCreate
  ITAB_H ithandle;
  int itmode;  // transfer mode; 0 = copy
  int newitab; // reserved
};

/// What RfcLastError reports; every text zero-terminated.
struct RFC_ERROR_INFO {
  char key[33];
  char status[128];
  char message[256];
  char intstat[128];
};

/// Filled by RfcOpenEx when the open fails; the program does not read it.
struct RFC_ERROR_INFO_EX {
  int group;
  char key[33];
  char message[513];
};

void RFC_CALL RfcEnvironment(RFC_ENV *environment);
RFC_HANDLE RFC_CALL RfcOpen(RFC_OPTIONS *options);
RFC_HANDLE RFC_CALL RfcOpenEx(const char *connect_param, RFC_ERROR_INFO_EX *error_info);
RFC_RC RFC_CALL RfcInstallStructure(const char *name, RFC_TYPE_ELEMENT *elements, unsigned entries,
                                    RFC_TYPEHANDLE *type_handle);
RFC_RC RFC_CALL RfcCall(RFC_HANDLE handle, const char *function, RFC_PARAMETER *exporting,
                        RFC_TABLE *tables);
/// On RFC_EXCEPTION and RFC_SYS_EXCEPTION *exception points at the exception name, valid until the
/// next call.
RFC_RC RFC_CALL RfcReceive(RFC_HANDLE handle, RFC_PARAMETER *importing, RFC_TABLE *tables,
                           char **exception);
ITAB_H RFC_CALL ItCreate(char *name, unsigned leng, unsigned occu, unsigned memo);
unsigned RFC_CALL ItFill(ITAB_H table);
/// Rows count from 1; null when the row does not exist.
void *RFC_CALL ItGetLine(ITAB_H table, unsigned line);
/// Appends an empty row and returns its address; the library fills received tables with it.
void *RFC_CALL ItAppLine(ITAB_H table);
int RFC_CALL ItDelete(ITAB_H table);
int RFC_CALL RfcLastError(RFC_ERROR_INFO *error_info);
/// Handle 0 closes every open connection.
void RFC_CALL RfcClose(RFC_HANDLE handle);

} // extern "C"

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit layouts of SAP's classic library: a genuine librfc32.dll reads these records.
#include <cstddef>
static_assert(sizeof(RFC_ENV) == 8 && offsetof(RFC_ENV, allocate) == 4);
static_assert(sizeof(RFC_OPTIONS) == 32);
static_assert(offsetof(RFC_OPTIONS, destination) == 0 && offsetof(RFC_OPTIONS, mode) == 4 &&
              offsetof(RFC_OPTIONS, connopt) == 8 && offsetof(RFC_OPTIONS, client) == 12 &&
              offsetof(RFC_OPTIONS, user) == 16 && offsetof(RFC_OPTIONS, password) == 20 &&
              offsetof(RFC_OPTIONS, language) == 24 && offsetof(RFC_OPTIONS, trace) == 28);
static_assert(sizeof(RFC_CONNOPT_R3) == 16 && offsetof(RFC_CONNOPT_R3, hostname) == 0 &&
              offsetof(RFC_CONNOPT_R3, sysnr) == 4 && offsetof(RFC_CONNOPT_R3, gateway_host) == 8 &&
              offsetof(RFC_CONNOPT_R3, gateway_service) == 12);
static_assert(sizeof(RFC_CONNOPT_CPIC) == 8 && offsetof(RFC_CONNOPT_CPIC, gateway_host) == 0 &&
              offsetof(RFC_CONNOPT_CPIC, gateway_service) == 4);
static_assert(sizeof(RFC_PARAMETER) == 20 && offsetof(RFC_PARAMETER, name) == 0 &&
              offsetof(RFC_PARAMETER, nlen) == 4 && offsetof(RFC_PARAMETER, type) == 8 &&
              offsetof(RFC_PARAMETER, leng) == 12 && offsetof(RFC_PARAMETER, addr) == 16);
static_assert(sizeof(RFC_TABLE) == 28 && offsetof(RFC_TABLE, name) == 0 &&
              offsetof(RFC_TABLE, nlen) == 4 && offsetof(RFC_TABLE, type) == 8 &&
              offsetof(RFC_TABLE, leng) == 12 && offsetof(RFC_TABLE, ithandle) == 16 &&
              offsetof(RFC_TABLE, itmode) == 20 && offsetof(RFC_TABLE, newitab) == 24);
static_assert(sizeof(RFC_TYPE_ELEMENT) == 20 && offsetof(RFC_TYPE_ELEMENT, name) == 0 &&
              offsetof(RFC_TYPE_ELEMENT, type) == 4 && offsetof(RFC_TYPE_ELEMENT, length) == 8 &&
              offsetof(RFC_TYPE_ELEMENT, decimals) == 12 &&
              offsetof(RFC_TYPE_ELEMENT, offset) == 16);
static_assert(sizeof(RFC_ERROR_INFO) == 545 && offsetof(RFC_ERROR_INFO, key) == 0 &&
              offsetof(RFC_ERROR_INFO, status) == 33 && offsetof(RFC_ERROR_INFO, message) == 161 &&
              offsetof(RFC_ERROR_INFO, intstat) == 417);
static_assert(sizeof(ITAB_H) == 4 && sizeof(RFC_HANDLE) == 4);
#endif
