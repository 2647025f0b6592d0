// POSIX sockets behind the narrow transport interface; a Winsock port replaces only this file.
#ifndef _WIN32
#include "wire/transport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "wire/resolved_reach.h"

namespace rfcwire {
namespace {

int Fd(const Socket &socket) { return static_cast<int>(socket.Handle()); }

std::string ErrnoText(const char *what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

int MillisecondsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) {
    return 0;
  }
  // poll takes an int; a deadline further away is simply waited for in several rounds.
  return left.count() > 60000 ? 60000 : static_cast<int>(left.count());
}

// Waits for the events or the deadline; Done when ready.
IoResult WaitFor(int fd, short events, Deadline deadline, std::string &detail) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int wait = MillisecondsLeft(deadline);
    const int ready = ::poll(&entry, 1, wait);
    if (ready > 0) {
      return IoResult::Done;
    }
    if (ready < 0 && errno != EINTR) {
      detail = ErrnoText("poll", errno);
      return IoResult::Failed;
    }
    if (ready == 0 && wait == 0) {
      return IoResult::Timeout;
    }
  }
}

bool MakeNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

struct AddressList {
  addrinfo *head = nullptr;
  ~AddressList() {
    if (head != nullptr) {
      ::freeaddrinfo(head);
    }
  }
};

bool Resolve(const std::string &host, const std::string &service, bool passive, AddressList &list,
             std::string &detail) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  const int rc =
      ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list.head);
  if (rc != 0) {
    detail = "cannot resolve " + host + ":" + service + ": " + ::gai_strerror(rc);
    return false;
  }
  return true;
}

IoResult ConnectOne(const addrinfo &address, Deadline deadline, Socket &out, std::string &detail) {
  Socket socket(
      ::socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol));
  if (!socket.IsOpen()) {
    detail = ErrnoText("socket", errno);
    return IoResult::Failed;
  }
  if (!MakeNonBlocking(Fd(socket))) {
    detail = ErrnoText("fcntl", errno);
    return IoResult::Failed;
  }
  if (::connect(Fd(socket), address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      detail = ErrnoText("connect", errno);
      return IoResult::Failed;
    }
    const IoResult waited = WaitFor(Fd(socket), POLLOUT, deadline, detail);
    if (waited != IoResult::Done) {
      if (waited == IoResult::Timeout) {
        detail = "connect: no answer before the connect timeout";
      }
      return waited;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
      detail = ErrnoText("connect", error != 0 ? error : errno);
      return IoResult::Failed;
    }
  }
  // Requests and replies are small and strictly alternating: without this each waits for a delayed
  // ACK.
  const int on = 1;
  ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  out = std::move(socket);
  return IoResult::Done;
}

} // namespace

void CloseSocketHandle(std::intptr_t handle) { ::close(static_cast<int>(handle)); }

void ShutdownSocketHandle(std::intptr_t handle) { ::shutdown(static_cast<int>(handle), SHUT_RDWR); }

Socket Connect(const std::string &host, const std::string &service, Deadline deadline,
               const Reach &reach, std::string &detail, bool &out_of_reach) {
  out_of_reach = false;
  AddressList list;
  if (!Resolve(host, service, false, list, detail)) {
    return Socket();
  }
  if (!AllWithinReach(list.head, reach, host, detail)) {
    out_of_reach = true;
    return Socket();
  }
  for (const addrinfo *address = list.head; address != nullptr; address = address->ai_next) {
    Socket socket;
    const IoResult result = ConnectOne(*address, deadline, socket, detail);
    if (result == IoResult::Done) {
      return socket;
    }
    if (result == IoResult::Timeout) {
      break;
    }
  }
  return Socket();
}

IoResult SendAll(Socket &socket, std::span<const std::uint8_t> data, Deadline deadline,
                 std::string &detail) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const IoResult waited = WaitFor(Fd(socket), POLLOUT, deadline, detail);
    if (waited != IoResult::Done) {
      return waited;
    }
    // MSG_NOSIGNAL: a partner that went away must give an error, not kill the process with SIGPIPE.
    const ssize_t n = ::send(Fd(socket), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        continue;
      }
      if (errno == EPIPE || errno == ECONNRESET) {
        return IoResult::Closed;
      }
      detail = ErrnoText("send", errno);
      return IoResult::Failed;
    }
    sent += static_cast<std::size_t>(n);
  }
  return IoResult::Done;
}

IoResult ReceiveAll(Socket &socket, std::span<std::uint8_t> data, Deadline deadline,
                    std::string &detail) {
  std::size_t received = 0;
  while (received < data.size()) {
    const IoResult waited = WaitFor(Fd(socket), POLLIN, deadline, detail);
    if (waited != IoResult::Done) {
      return waited;
    }
    const ssize_t n = ::recv(Fd(socket), data.data() + received, data.size() - received, 0);
    if (n == 0) {
      return IoResult::Closed;
    }
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        continue;
      }
      if (errno == ECONNRESET) {
        return IoResult::Closed;
      }
      detail = ErrnoText("recv", errno);
      return IoResult::Failed;
    }
    received += static_cast<std::size_t>(n);
  }
  return IoResult::Done;
}

IoResult WaitReadable(Socket &socket, std::chrono::milliseconds wait, std::string &detail) {
  return WaitFor(Fd(socket), POLLIN, Clock::now() + wait, detail);
}

Socket Listen(const std::string &host, const std::string &service, int &bound_port,
              std::string &detail) {
  AddressList list;
  if (!Resolve(host, service, true, list, detail)) {
    return Socket();
  }
  for (const addrinfo *address = list.head; address != nullptr; address = address->ai_next) {
    Socket socket(
        ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol));
    if (!socket.IsOpen()) {
      detail = ErrnoText("socket", errno);
      continue;
    }
    const int on = 1;
    ::setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(Fd(socket), address->ai_addr, address->ai_addrlen) != 0) {
      detail = ErrnoText("bind", errno);
      continue;
    }
    if (::listen(Fd(socket), 16) != 0 || !MakeNonBlocking(Fd(socket))) {
      detail = ErrnoText("listen", errno);
      continue;
    }
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    bound_port = 0;
    if (::getsockname(Fd(socket), reinterpret_cast<sockaddr *>(&bound), &size) == 0) {
      if (bound.ss_family == AF_INET) {
        bound_port = ntohs(reinterpret_cast<const sockaddr_in *>(&bound)->sin_port);
      } else if (bound.ss_family == AF_INET6) {
        bound_port = ntohs(reinterpret_cast<const sockaddr_in6 *>(&bound)->sin6_port);
      }
    }
    return socket;
  }
  return Socket();
}

Socket Accept(Socket &listener, std::chrono::milliseconds wait) {
  std::string ignored;
  if (WaitFor(Fd(listener), POLLIN, Clock::now() + wait, ignored) != IoResult::Done) {
    return Socket();
  }
  Socket socket(::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
  if (socket.IsOpen()) {
    const int on = 1;
    ::setsockopt(Fd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  return socket;
}

} // namespace rfcwire
#endif
