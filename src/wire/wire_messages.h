// The messages client and system exchange, with their encoding into frames and checked decoding.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "wire/wire_frame.h"

namespace rfcwire {

/// How a value's bytes are to be read: raw characters (or a record image), or a 4-byte big-endian
/// integer.
enum class ValueKind : std::uint8_t { Bytes = 0, Integer = 1 };

struct Value {
  std::string name;
  ValueKind kind = ValueKind::Bytes;
  std::vector<std::uint8_t> bytes;
};

/// Rows of one table, all of line_length bytes, one after another.
struct Table {
  std::string name;
  std::uint32_t line_length = 0;
  std::uint32_t rows = 0;
  std::vector<std::uint8_t> data;
};

/// A received table whose rows stay inside the frame they came in: valid while that frame lives.
/// Receivers copy the rows once, straight into their own storage.
struct TableView {
  std::string name;
  std::uint32_t line_length = 0;
  std::uint32_t rows = 0;
  std::span<const std::uint8_t> data;
};

/// The largest payload a logon can have: five names. A system expects nothing larger before it
/// knows whom it talks to.
inline constexpr std::uint32_t kMaxLogonPayload = 5 * (1 + kMaxNameLength);

struct LogonRequest {
  std::string destination;
  std::string client;
  std::string user;
  std::string password;
  std::string language;
};

struct LogonAccepted {
  std::string system_id;
};

struct CallRequest {
  std::string function;
  std::vector<Value> exporting;
  std::vector<Table> tables;
};

struct Reply {
  std::vector<Value> importing;
  std::vector<Table> tables;
};

/// A reply whose tables point into the frame it was decoded from.
struct ReplyView {
  std::vector<Value> importing;
  std::vector<TableView> tables;
};

/// An exception raised by the function module, or a system exception with the system's text.
struct RaisedException {
  std::string name;
  std::string text;
};

/// A text-only message: the reason of a rejected logon or of a failure.
struct Notice {
  std::string text;
};

Frame Encode(const LogonRequest &message);
Frame Encode(const LogonAccepted &message);
Frame Encode(const CallRequest &message);
Frame Encode(const Reply &message);
/// type is Exception or SystemException.
Frame Encode(MessageType type, const RaisedException &message);
/// type is LogonRejected or Failure.
Frame Encode(MessageType type, const Notice &message);
/// CallAccepted and Close carry no payload.
Frame EncodeEmpty(MessageType type);

/// Each decoder returns false and says why when the payload is not exactly one such message.
bool Decode(const Frame &frame, LogonRequest &message, std::string &problem);
bool Decode(const Frame &frame, LogonAccepted &message, std::string &problem);
bool Decode(const Frame &frame, CallRequest &message, std::string &problem);
bool Decode(const Frame &frame, Reply &message, std::string &problem);
/// The same checks as for a Reply, without copying the table rows out of the frame.
bool Decode(const Frame &frame, ReplyView &message, std::string &problem);
bool Decode(const Frame &frame, RaisedException &message, std::string &problem);
bool Decode(const Frame &frame, Notice &message, std::string &problem);
bool DecodeEmpty(const Frame &frame, std::string &problem);

} // namespace rfcwire
