// Sending and receiving whole frames over a socket before a deadline.
#pragma once

#include <string>

#include "wire/transport.h"
#include "wire/wire_frame.h"

namespace rfcwire {

enum class ReceiveStatus {
  Ok,
  Timeout,
  Closed,    // the partner ended the connection
  Malformed, // bytes arrived that are not a valid frame: a protocol violation
  Failed,    // the socket failed for another reason
};

struct Received {
  ReceiveStatus status = ReceiveStatus::Failed;
  Frame frame;
  std::string detail;
};

IoResult SendFrame(Socket &socket, const Frame &frame, Deadline deadline, std::string &detail);

/// Reads one frame; the payload is allocated only after the header passed its checks, one of
/// which is that it announces at most max_payload bytes (a receiver that knows it expects
/// something small says so, and nothing larger is ever allocated).
Received ReceiveFrame(Socket &socket, Deadline deadline, std::uint32_t max_payload = kMaxPayload);

} // namespace rfcwire
