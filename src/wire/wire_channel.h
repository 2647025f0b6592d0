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

/// Reads one frame; the payload is allocated only after the header passed its checks.
Received ReceiveFrame(Socket &socket, Deadline deadline);

} // namespace rfcwire
