// What went wrong in one library operation, in the terms the trace file and RfcLastError show.
#pragma once

#include <string>

#include "rfcfiles/error_keys.h"
#include "rfcfiles/standin_settings.h"

namespace rfclib {

/// Keys reported by RfcLastError.
inline constexpr const char *kKeyCommunication = rfcfiles::kKeyCommunication.data();
inline constexpr const char *kKeyLogon = rfcfiles::kKeyLogon.data();
inline constexpr const char *kKeyProtocol = rfcfiles::kKeyProtocol.data();
inline constexpr const char *kKeySystemFailure = rfcfiles::kKeySystemFailure.data();
inline constexpr const char *kKeyException = rfcfiles::kKeyException.data();
inline constexpr const char *kKeyParameter = rfcfiles::kKeyParameter.data();
inline constexpr const char *kKeyHandle = rfcfiles::kKeyHandle.data();
inline constexpr const char *kKeyConfiguration = rfcfiles::kKeyConfiguration.data();
inline constexpr const char *kKeyInternal = rfcfiles::kKeyInternal.data();
/// A partner off this machine and outside the test networks: refused before anything is sent.
inline constexpr const char *kKeyTestLibrary = rfcfiles::kTestLibraryKey.data();

/// Reasons shown on the trace file's ERROR line.
inline constexpr const char *kReasonNotReached = rfcfiles::kReasonNotReached.data();
inline constexpr const char *kReasonTimeout = rfcfiles::kReasonTimeout.data();
inline constexpr const char *kReasonClosed = rfcfiles::kReasonClosed.data();
inline constexpr const char *kReasonBroken = rfcfiles::kReasonBroken.data();
inline constexpr const char *kReasonMalformed = rfcfiles::kReasonMalformed.data();
inline constexpr const char *kReasonLogonRejected = rfcfiles::kReasonLogonRejected.data();
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
