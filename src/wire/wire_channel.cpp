// Frame-level I/O: header first, validated, then exactly the announced payload.
#include "wire/wire_channel.h"

#include <algorithm>
#include <array>

namespace rfcwire {
namespace {

constexpr std::size_t kFirstSlice = 1024 * 1024;

ReceiveStatus FromIo(IoResult result) {
  switch (result) {
  case IoResult::Done:
    return ReceiveStatus::Ok;
  case IoResult::Timeout:
    return ReceiveStatus::Timeout;
  case IoResult::Closed:
    return ReceiveStatus::Closed;
  case IoResult::Failed:
    break;
  }
  return ReceiveStatus::Failed;
}

} // namespace

IoResult SendFrame(Socket &socket, const Frame &frame, Deadline deadline, std::string &detail) {
  const std::vector<std::uint8_t> bytes = SerializeFrame(frame);
  return SendAll(socket, bytes, deadline, detail);
}

Received ReceiveFrame(Socket &socket, Deadline deadline, std::uint32_t max_payload) {
  Received received;
  std::array<std::uint8_t, kHeaderSize> header_bytes{};
  IoResult result = ReceiveAll(socket, header_bytes, deadline, received.detail);
  if (result != IoResult::Done) {
    received.status = FromIo(result);
    return received;
  }
  FrameHeader header;
  received.detail = DecodeHeader(header_bytes, header);
  if (received.detail.empty() && header.payload_size > max_payload) {
    received.detail = "frame announces " + std::to_string(header.payload_size) +
                      " payload bytes, more than the " + std::to_string(max_payload) +
                      " expected here";
  }
  if (!received.detail.empty()) {
    received.status = ReceiveStatus::Malformed;
    return received;
  }
  // The payload grows only as its bytes arrive: the first slice, then at most as much again as
  // has come, so a partner that announces a large frame and sends little makes this side hold
  // little more than it sent.
  received.frame.type = header.type;
  std::vector<std::uint8_t> &payload = received.frame.payload;
  payload.resize(std::min<std::size_t>(header.payload_size, kFirstSlice));
  result = ReceiveAll(socket, payload, deadline, received.detail);
  while (result == IoResult::Done && payload.size() < header.payload_size) {
    const std::size_t arrived = payload.size();
    payload.resize(std::min<std::size_t>(header.payload_size, 2 * arrived));
    result = ReceiveAll(socket, std::span<std::uint8_t>(payload).subspan(arrived), deadline,
                        received.detail);
  }
  received.status = FromIo(result);
  return received;
}

} // namespace rfcwire
