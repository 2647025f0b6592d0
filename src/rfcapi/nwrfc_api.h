// The client subset of the NetWeaver RFC library's C interface (sapnwrfc.dll, libsapnwrfc.so),
// declared in our own words from its published facts: calling convention, record layouts, codes.
// Names are ours and live in namespace nwrfc, so they never meet the classic interface's names;
// the library itself is found by its plain export names at run time.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
// stdcall on 32-bit Windows (the callee pops its arguments); the one convention on x64.
#define NWRFC_CALL __stdcall
#else
#define NWRFC_CALL
#endif

namespace nwrfc {

/// One UTF-16 code unit (little-endian); wchar_t on Windows is the same two bytes.
using Unit = char16_t;

/// Result of every operation; the same value as ErrorInfo::code.
enum Rc : int {
  kOk = 0,
  kCommunicationFailure = 1,
  kLogonFailure = 2,
  kAbapRuntimeFailure = 3,
  kAbapMessage = 4,
  kAbapException = 5,
  kClosed = 6,
  kCanceled = 7,
  kTimeout = 8,
  kMemoryInsufficient = 9,
  kVersionMismatch = 10,
  kInvalidProtocol = 11,
  kSerializationFailure = 12,
  kInvalidHandle = 13,
  kRetry = 14,
  kExternalFailure = 15,
  kExecuted = 16,
  kNotFound = 17,
  kNotSupported = 18,
  kIllegalState = 19,
  kInvalidParameter = 20,
  kCodepageConversionFailure = 21,
  kConversionFailure = 22,
  kBufferTooSmall = 23,
  kTableMoveBof = 24,
  kTableMoveEof = 25,
  kStartSapguiFailure = 26,
  kAbapClassException = 27,
  kUnknownError = 28,
  kAuthorizationFailure = 29,
  kAuthenticationFailure = 30,
  kCryptolibFailure = 31,
  kIoFailure = 32,
  kLockingFailure = 33,
};

/// Which kind of party the failure came from.
enum Group : int {
  kGroupOk = 0,
  kGroupAbapApplicationFailure = 1,
  kGroupAbapRuntimeFailure = 2,
  kGroupLogonFailure = 3,
  kGroupCommunicationFailure = 4,
  kGroupExternalRuntimeFailure = 5,
  kGroupExternalApplicationFailure = 6,
  kGroupExternalAuthorizationFailure = 7,
  kGroupExternalAuthenticationFailure = 8,
  kGroupCryptolibFailure = 9,
  kGroupLockingFailure = 10,
};

/// The error record every operation fills; texts are zero-terminated UTF-16.
struct ErrorInfo {
  Rc code;
  Group group;
  Unit key[128];
  Unit message[512];
  Unit abapMsgClass[21];
  Unit abapMsgType[2];
  Unit abapMsgNumber[4];
  Unit abapMsgV1[51];
  Unit abapMsgV2[51];
  Unit abapMsgV3[51];
  Unit abapMsgV4[51];
};

/// One logon parameter: name (ASHOST, SYSNR, CLIENT, USER, PASSWD, LANG, ...) and value.
struct ConnectionParameter {
  const Unit *name;
  const Unit *value;
};

/// Every handle is a pointer to a structure only the library knows; null means failure.
struct Opaque;
using ConnectionHandle = Opaque *;
using FunctionDescHandle = Opaque *;
/// A function, structure or table: any data container serves where a container is asked.
using ContainerHandle = Opaque *;

// The operations the binding uses, as pointer types (the export name is the comment).
/// RfcOpenConnection
using OpenConnectionFn = ConnectionHandle(NWRFC_CALL *)(const ConnectionParameter *, unsigned,
                                                        ErrorInfo *);
/// RfcCloseConnection
using CloseConnectionFn = Rc(NWRFC_CALL *)(ConnectionHandle, ErrorInfo *);
/// RfcIsConnectionHandleValid (from 7.20): whether the library still lists the connection.
using IsConnectionHandleValidFn = Rc(NWRFC_CALL *)(ConnectionHandle, int *, ErrorInfo *);
/// RfcCancel (from 7.50): from another thread, ends the call running on the connection.
using CancelFn = Rc(NWRFC_CALL *)(ConnectionHandle, ErrorInfo *);
/// RfcGetFunctionDesc: the handle belongs to the library's cache and is never destroyed.
using GetFunctionDescFn = FunctionDescHandle(NWRFC_CALL *)(ConnectionHandle, const Unit *,
                                                           ErrorInfo *);
/// RfcCreateFunction
using CreateFunctionFn = ContainerHandle(NWRFC_CALL *)(FunctionDescHandle, ErrorInfo *);
/// RfcDestroyFunction: also frees the structures and tables taken from it.
using DestroyFunctionFn = Rc(NWRFC_CALL *)(ContainerHandle, ErrorInfo *);
/// RfcInvoke
using InvokeFn = Rc(NWRFC_CALL *)(ConnectionHandle, ContainerHandle, ErrorInfo *);
/// RfcSetChars: length in characters, value not zero-terminated.
using SetCharsFn = Rc(NWRFC_CALL *)(ContainerHandle, const Unit *, const Unit *, unsigned,
                                    ErrorInfo *);
/// RfcGetChars: blank-padded to the buffer's length, not zero-terminated.
using GetCharsFn = Rc(NWRFC_CALL *)(ContainerHandle, const Unit *, Unit *, unsigned, ErrorInfo *);
/// RfcGetInt
using GetIntFn = Rc(NWRFC_CALL *)(ContainerHandle, const Unit *, int *, ErrorInfo *);
/// RfcGetStructure: the structure belongs to its parent.
using GetStructureFn = Rc(NWRFC_CALL *)(ContainerHandle, const Unit *, ContainerHandle *,
                                        ErrorInfo *);
/// RfcGetTable: the table belongs to its parent.
using GetTableFn = Rc(NWRFC_CALL *)(ContainerHandle, const Unit *, ContainerHandle *, ErrorInfo *);
/// RfcGetRowCount
using GetRowCountFn = Rc(NWRFC_CALL *)(ContainerHandle, unsigned *, ErrorInfo *);
/// RfcMoveTo: rows count from 0; field reads on the table read the current row.
using MoveToFn = Rc(NWRFC_CALL *)(ContainerHandle, unsigned, ErrorInfo *);
/// RfcGetVersion: a static text; major 7500 for release 7.50.
using GetVersionFn = const Unit *(NWRFC_CALL *)(unsigned *, unsigned *, unsigned *);

} // namespace nwrfc

// The layouts are the library's: a genuine sapnwrfc.dll or libsapnwrfc.so reads these records.
static_assert(sizeof(nwrfc::Unit) == 2 && sizeof(int) == 4 && sizeof(unsigned) == 4);
static_assert(sizeof(nwrfc::Rc) == 4 && sizeof(nwrfc::Group) == 4);
static_assert(sizeof(nwrfc::ErrorInfo) == 1752 && alignof(nwrfc::ErrorInfo) == 4);
static_assert(offsetof(nwrfc::ErrorInfo, code) == 0 && offsetof(nwrfc::ErrorInfo, group) == 4 &&
              offsetof(nwrfc::ErrorInfo, key) == 8 && offsetof(nwrfc::ErrorInfo, message) == 264 &&
              offsetof(nwrfc::ErrorInfo, abapMsgClass) == 1288 &&
              offsetof(nwrfc::ErrorInfo, abapMsgType) == 1330 &&
              offsetof(nwrfc::ErrorInfo, abapMsgNumber) == 1334 &&
              offsetof(nwrfc::ErrorInfo, abapMsgV1) == 1342 &&
              offsetof(nwrfc::ErrorInfo, abapMsgV2) == 1444 &&
              offsetof(nwrfc::ErrorInfo, abapMsgV3) == 1546 &&
              offsetof(nwrfc::ErrorInfo, abapMsgV4) == 1648);
#if defined(_WIN32) && !defined(_WIN64)
// 32-bit Windows: 4-byte handles and pointers.
static_assert(sizeof(nwrfc::ConnectionParameter) == 8 &&
              offsetof(nwrfc::ConnectionParameter, value) == 4);
static_assert(sizeof(nwrfc::ConnectionHandle) == 4);
#elif defined(_WIN64) || (defined(__linux__) && defined(__x86_64__))
// 64-bit Windows and Linux x86_64: 8-byte handles and pointers.
static_assert(sizeof(nwrfc::ConnectionParameter) == 16 &&
              offsetof(nwrfc::ConnectionParameter, value) == 8);
static_assert(sizeof(nwrfc::ConnectionHandle) == 8);
#endif
