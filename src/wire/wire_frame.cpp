// Encoding and checked decoding of frame headers and payload fields.
#include "wire/wire_frame.h"

#include <algorithm>

namespace rfcwire {
namespace {

void PutU32(std::uint8_t *out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t GetU32(const std::uint8_t *in) {
  return (std::uint32_t{in[0]} << 24) | (std::uint32_t{in[1]} << 16) | (std::uint32_t{in[2]} << 8) |
         std::uint32_t{in[3]};
}

bool KnownType(std::uint8_t type) {
  return type >= static_cast<std::uint8_t>(MessageType::Logon) &&
         type <= static_cast<std::uint8_t>(MessageType::Close);
}

} // namespace

std::vector<std::uint8_t> SerializeFrame(const Frame &frame) {
  std::vector<std::uint8_t> bytes(kHeaderSize + frame.payload.size());
  std::copy(kMagic.begin(), kMagic.end(), bytes.begin());
  bytes[4] = kProtocolVersion;
  bytes[5] = static_cast<std::uint8_t>(frame.type);
  bytes[6] = 0;
  bytes[7] = 0;
  PutU32(bytes.data() + 8, static_cast<std::uint32_t>(frame.payload.size()));
  std::copy(frame.payload.begin(), frame.payload.end(), bytes.begin() + kHeaderSize);
  return bytes;
}

std::string DecodeHeader(std::span<const std::uint8_t, kHeaderSize> bytes, FrameHeader &header) {
  if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
    return "frame does not start with the protocol's magic bytes";
  }
  if (bytes[4] != kProtocolVersion) {
    return "protocol version " + std::to_string(bytes[4]) + " is not supported (only " +
           std::to_string(kProtocolVersion) + ")";
  }
  if (!KnownType(bytes[5])) {
    return "unknown message type " + std::to_string(bytes[5]);
  }
  if (bytes[6] != 0 || bytes[7] != 0) {
    return "reserved header bytes are not zero";
  }
  const std::uint32_t size = GetU32(bytes.data() + 8);
  if (size > kMaxPayload) {
    return "frame announces " + std::to_string(size) + " payload bytes, more than the limit of " +
           std::to_string(kMaxPayload);
  }
  header.type = static_cast<MessageType>(bytes[5]);
  header.payload_size = size;
  return {};
}

void PayloadWriter::U32(std::uint32_t value) {
  std::uint8_t out[4];
  PutU32(out, value);
  bytes_.insert(bytes_.end(), out, out + 4);
}

void PayloadWriter::Name(std::string_view name) {
  const std::size_t size = std::min(name.size(), kMaxNameLength);
  U8(static_cast<std::uint8_t>(size));
  bytes_.insert(bytes_.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(size));
}

void PayloadWriter::Text(std::string_view text) {
  const std::size_t size = std::min(text.size(), kMaxTextLength);
  U8(static_cast<std::uint8_t>(size >> 8));
  U8(static_cast<std::uint8_t>(size));
  bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

void PayloadWriter::Blob(std::span<const std::uint8_t> bytes) {
  U32(static_cast<std::uint32_t>(bytes.size()));
  Raw(bytes);
}

void PayloadWriter::Raw(std::span<const std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

bool PayloadReader::Fail(std::string problem) {
  if (problem_.empty()) {
    problem_ = std::move(problem);
  }
  position_ = bytes_.size();
  return false;
}

bool PayloadReader::Take(std::size_t size, const char *what, std::span<const std::uint8_t> &out) {
  if (!problem_.empty()) {
    return false;
  }
  if (size > Left()) {
    return Fail(std::string(what) + " needs " + std::to_string(size) + " bytes but only " +
                std::to_string(Left()) + " are left");
  }
  out = bytes_.subspan(position_, size);
  position_ += size;
  return true;
}

bool PayloadReader::U8(std::uint8_t &value) {
  std::span<const std::uint8_t> field;
  if (!Take(1, "a byte field", field)) {
    return false;
  }
  value = field[0];
  return true;
}

bool PayloadReader::U32(std::uint32_t &value) {
  std::span<const std::uint8_t> field;
  if (!Take(4, "a number field", field)) {
    return false;
  }
  value = GetU32(field.data());
  return true;
}

bool PayloadReader::Name(std::string &name) {
  std::uint8_t size = 0;
  if (!U8(size)) {
    return false;
  }
  if (size > kMaxNameLength) {
    return Fail("name of " + std::to_string(size) + " bytes exceeds the limit of " +
                std::to_string(kMaxNameLength));
  }
  std::span<const std::uint8_t> field;
  if (!Take(size, "a name", field)) {
    return false;
  }
  name.assign(field.begin(), field.end());
  return true;
}

bool PayloadReader::Text(std::string &text) {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  if (!U8(high) || !U8(low)) {
    return false;
  }
  const std::size_t size = (std::size_t{high} << 8) | low;
  if (size > kMaxTextLength) {
    return Fail("text of " + std::to_string(size) + " bytes exceeds the limit of " +
                std::to_string(kMaxTextLength));
  }
  std::span<const std::uint8_t> field;
  if (!Take(size, "a text", field)) {
    return false;
  }
  text.assign(field.begin(), field.end());
  return true;
}

bool PayloadReader::Blob(std::vector<std::uint8_t> &bytes) {
  std::uint32_t size = 0;
  if (!U32(size)) {
    return false;
  }
  if (size > kMaxValueLength) {
    return Fail("value of " + std::to_string(size) + " bytes exceeds the limit of " +
                std::to_string(kMaxValueLength));
  }
  return Raw(size, bytes);
}

bool PayloadReader::Raw(std::size_t size, std::vector<std::uint8_t> &bytes) {
  std::span<const std::uint8_t> field;
  if (!Take(size, "a data field", field)) {
    return false;
  }
  bytes.assign(field.begin(), field.end());
  return true;
}

bool PayloadReader::View(std::size_t size, std::span<const std::uint8_t> &bytes) {
  return Take(size, "a data field", bytes);
}

bool PayloadReader::Finish() {
  if (!problem_.empty()) {
    return false;
  }
  if (Left() != 0) {
    return Fail(std::to_string(Left()) + " unexpected bytes after the last field");
  }
  return true;
}

} // namespace rfcwire
