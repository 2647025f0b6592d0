// The error keys RfcLastError reports and the reasons the trace file's ERROR line shows, as every
// library of the program writes them.
#pragma once

#include <string_view>

namespace rfcfiles {

inline constexpr std::string_view kKeyCommunication = "RFC_ERROR_COMMUNICATION";
inline constexpr std::string_view kKeyLogon = "RFC_ERROR_LOGON_FAILURE";
inline constexpr std::string_view kKeyProtocol = "RFC_ERROR_PROTOCOL";
inline constexpr std::string_view kKeySystemFailure = "RFC_ERROR_SYSTEM_FAILURE";
inline constexpr std::string_view kKeyException = "RFC_ERROR_APPLICATION_EXCEPTION";
inline constexpr std::string_view kKeyParameter = "RFC_ERROR_INVALID_PARAMETER";
inline constexpr std::string_view kKeyHandle = "RFC_ERROR_INVALID_HANDLE";
inline constexpr std::string_view kKeyConfiguration = "RFC_ERROR_CONFIGURATION";
inline constexpr std::string_view kKeyInternal = "RFC_ERROR_INTERNAL";

inline constexpr std::string_view kReasonNotReached = "partner not reached";
/// As the classic library's own receive timeout reads.
inline constexpr std::string_view kReasonTimeout = "timeout during receive";
inline constexpr std::string_view kReasonClosed = "connection closed by partner";
inline constexpr std::string_view kReasonBroken = "connection broken";
inline constexpr std::string_view kReasonMalformed = "malformed data from partner";
inline constexpr std::string_view kReasonLogonRejected = "Name or password is incorrect";

} // namespace rfcfiles
