// The only place that touches sockets: connect, listen, accept, send and receive with deadlines.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "wire/address_range.h"

namespace rfcwire {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

/// Owns one socket; closing happens in the destructor so no path can leak a descriptor.
class Socket {
public:
  Socket() = default;
  explicit Socket(std::intptr_t handle) : handle_(handle) {}
  ~Socket();
  Socket(Socket &&other) noexcept;
  Socket &operator=(Socket &&other) noexcept;
  Socket(const Socket &) = delete;
  Socket &operator=(const Socket &) = delete;

  bool IsOpen() const { return handle_ != kNoSocket; }
  void Close();
  std::intptr_t Handle() const { return handle_; }

private:
  static constexpr std::intptr_t kNoSocket = -1;
  std::intptr_t handle_ = kNoSocket;
};

/// Closes a socket handle the way the system requires (close or closesocket).
void CloseSocketHandle(std::intptr_t handle);

/// Ends both directions of a socket another thread may be waiting on: its waits return at once
/// (reads see the end of the stream, writes fail). The handle stays open for its owner to close.
void ShutdownSocketHandle(std::intptr_t handle);

enum class IoResult {
  Done,
  Timeout,
  Closed, // orderly end of stream or a reset by the partner
  Failed, // any other socket error; the detail text says which
};

/// Resolves host and service (a port number) and connects before the deadline, only when every
/// address the host resolves to is within reach: a name that also leads elsewhere is not tried
/// at all, so nothing is sent off the allowed networks; then `out_of_reach` is set and detail
/// names the address. On failure the returned socket is closed and detail tells why.
Socket Connect(const std::string &host, const std::string &service, Deadline deadline,
               const Reach &reach, std::string &detail, bool &out_of_reach);

/// Sends every byte or reports why not.
IoResult SendAll(Socket &socket, std::span<const std::uint8_t> data, Deadline deadline,
                 std::string &detail);

/// Fills the whole buffer or reports why not.
IoResult ReceiveAll(Socket &socket, std::span<std::uint8_t> data, Deadline deadline,
                    std::string &detail);

/// Waits until data (or the end of stream) can be read; Timeout when nothing came in time.
IoResult WaitReadable(Socket &socket, std::chrono::milliseconds wait, std::string &detail);

/// Binds and listens; bound_port receives the port actually bound (useful with port 0).
Socket Listen(const std::string &host, const std::string &service, int &bound_port,
              std::string &detail);

/// Waits up to `wait` for a partner; a closed socket when none came.
Socket Accept(Socket &listener, std::chrono::milliseconds wait);

} // namespace rfcwire
