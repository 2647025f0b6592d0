// What went wrong in one library operation, in the terms the trace file and RfcLastError show.
#pragma once

#include <string>

#include "rfcfiles/standin_settings.h"

namespace rfclib {

/// Keys reported by RfcLastError.
inline constexpr const char *kKeyCommunication = "RFC_ERROR_COMMUNICATION";
inline constexpr const char *kKeyLogon = "RFC_ERROR_LOGON_FAILURE";
inline constexpr const char *kKeyProtocol = "RFC_ERROR_PROTOCOL";
inline constexpr const char *kKeySystemFailure = "RFC_ERROR_SYSTEM_FAILURE";
inline constexpr const char *kKeyException = "RFC_ERROR_APPLICATION_EXCEPTION";
inline constexpr const char *kKeyParameter = "RFC_ERROR_INVALID_PARAMETER";
inline constexpr const char *kKeyHandle = "RFC_ERROR_INVALID_HANDLE";
inline constexpr const char *kKeyConfiguration = "RFC_ERROR_CONFIGURATION";
inline constexpr const char *kKeyInternal = "RFC_ERROR_INTERNAL";
/// A partner off this machine and outside the test networks: refused before anything is sent.
inline constexpr const char *kKeyTestLibrary = rfcfiles::kTestLibraryKey.data();

/// Reasons shown on the trace file's ERROR line.
inline constexpr const char *kReasonNotReached = "partner not reached";
inline constexpr const char *kReasonTimeout = "timeout during receive";
inline constexpr const char *kReasonClosed = "connection closed by partner";
inline constexpr const char *kReasonBroken = "connection broken";
inline constexpr const char *kReasonMalformed = "malformed data from partner";
inline constexpr const char *kReasonLogonRejected = "Name or password is incorrect";
inline constexpr const char *kReasonOutOfReach =
    "partner not on this machine: the stand-in is a test library";

struct Failure {
  std::string key;
  std::string reason;
  std::string detail;
  /// The partner broke the protocol: the installed error handler is to be called.
  bool protocol_violation = false;
  /// The connection cannot be used any more and is to be closed.
  bool connection_lost = false;
};

inline Failure MakeFailure(const char *key, std::string reason, std::string detail = {}) {
  Failure failure;
  failure.key = key;
  failure.reason = std::move(reason);
  failure.detail = std::move(detail);
  return failure;
}

} // namespace rfclib
