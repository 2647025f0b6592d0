// Frames of the stand-in's wire protocol: a fixed 12-byte header and a payload of bounded fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rfcwire {

inline constexpr std::array<std::uint8_t, 4> kMagic = {'K', 'R', 'F', 'C'};
inline constexpr std::uint8_t kProtocolVersion = 1;
inline constexpr std::size_t kHeaderSize = 12;

/// Limits every reader enforces, so no partner can make us overrun or allocate without bound.
inline constexpr std::uint32_t kMaxPayload = 64u * 1024u * 1024u;
inline constexpr std::size_t kMaxNameLength = 64;
inline constexpr std::size_t kMaxTextLength = 1024;
inline constexpr std::uint32_t kMaxValueLength = 1024u * 1024u;
inline constexpr std::uint32_t kMaxLineLength = 65535;
inline constexpr std::uint32_t kMaxListEntries = 1024;
/// Rows of one table; together with the line length the receiver's copy must stay within one
/// payload as well, so neither row count nor line length alone can make a reply expensive.
inline constexpr std::uint32_t kMaxTableRows = 16u * 1024u * 1024u;

enum class MessageType : std::uint8_t {
  Logon = 1,
  LogonAccepted = 2,
  LogonRejected = 3,
  Call = 4,
  CallAccepted = 5,
  Reply = 6,
  Exception = 7,
  SystemException = 8,
  Failure = 9,
  Close = 10,
};

struct Frame {
  MessageType type = MessageType::Close;
  std::vector<std::uint8_t> payload;
};

struct FrameHeader {
  MessageType type = MessageType::Close;
  std::uint32_t payload_size = 0;
};

/// Header followed by payload, ready to send.
std::vector<std::uint8_t> SerializeFrame(const Frame &frame);

/// Checks magic, version, type, flags and size; returns what is wrong, or an empty text.
std::string DecodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes, FrameHeader &header);

/// Appends big-endian fields to a payload.
class PayloadWriter {
public:
  void U8(std::uint8_t value) { bytes_.push_back(value); }
  void U32(std::uint32_t value);
  /// A name: one length byte, at most kMaxNameLength bytes.
  void Name(std::string_view name);
  /// A message text: two length bytes, cut to kMaxTextLength bytes.
  void Text(std::string_view text);
  /// A value: four length bytes, then the bytes.
  void Blob(std::span<const std::uint8_t> bytes);
  /// Raw bytes whose length the reader knows from earlier fields.
  void Raw(std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
  std::vector<std::uint8_t> bytes_;
};

/// Reads fields back; every read checks the bytes left and the field's limit.
/// After the first failure every read fails and Problem() tells the first reason.
class PayloadReader {
public:
  explicit PayloadReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool U8(std::uint8_t &value);
  bool U32(std::uint32_t &value);
  bool Name(std::string &name);
  bool Text(std::string &text);
  bool Blob(std::vector<std::uint8_t> &bytes);
  bool Raw(std::size_t size, std::vector<std::uint8_t> &bytes);
  /// The next size bytes without copying them; valid while the payload lives.
  bool View(std::size_t size, std::span<const std::uint8_t> &bytes);
  /// Fails when bytes are left over: a well-formed message has none.
  bool Finish();
  std::size_t Left() const { return bytes_.size() - position_; }
  const std::string &Problem() const { return problem_; }
  bool Fail(std::string problem);

private:
  bool Take(std::size_t size, const char *what, std::span<const std::uint8_t> &out);
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  std::string problem_;
};

} // namespace rfcwire
