// Winsock behind the narrow transport interface: the Windows twin of the POSIX transport.
#ifdef _WIN32
#include "wire/transport.h"

#include <algorithm>

#include <winsock2.h>
#include <ws2tcpip.h>

#include "wire/resolved_reach.h"

namespace rfcwire {
namespace {

SOCKET Sock(const Socket &socket) { return static_cast<SOCKET>(socket.Handle()); }

/// Winsock must be started once per process before the first socket call.
bool StartWinsock(std::string &detail) {
  static const int started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (started != 0) {
    detail = "WSAStartup failed with " + std::to_string(started);
  }
  return started == 0;
}

std::string ErrorText(const char *what, int error) {
  char *message = nullptr;
  FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
  std::string text =
      std::string(what) + ": " + (message ? message : "error " + std::to_string(error));
  if (message) {
    LocalFree(message);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

long MillisecondsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0) {
    return 0;
  }
  return left.count() > 60000 ? 60000 : static_cast<long>(left.count());
}

/// Waits until the socket is readable (or writable) or the deadline passes.
IoResult WaitFor(SOCKET socket, bool for_writing, Deadline deadline, std::string &detail) {
  for (;;) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed); // a failed non-blocking connect is reported here on Windows
    const long wait = MillisecondsLeft(deadline);
    timeval timeout{wait / 1000, (wait % 1000) * 1000};
    const int n = ::select(0, for_writing ? nullptr : &ready, for_writing ? &ready : nullptr,
                           &failed, &timeout);
    if (n > 0) {
      return IoResult::Done;
    }
    if (n == SOCKET_ERROR) {
      detail = ErrorText("select", WSAGetLastError());
      return IoResult::Failed;
    }
    if (wait == 0) {
      return IoResult::Timeout;
    }
  }
}

bool MakeNonBlocking(SOCKET socket) {
  u_long on = 1;
  return ::ioctlsocket(socket, FIONBIO, &on) == 0;
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
  if (!StartWinsock(detail)) {
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = passive ? AI_PASSIVE : 0;
  const int rc =
      ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list.head);
  if (rc != 0) {
    detail = "cannot resolve " + host + ":" + service + ": " + ErrorText("getaddrinfo", rc);
    return false;
  }
  return true;
}

IoResult ConnectOne(const addrinfo &address, Deadline deadline, Socket &out, std::string &detail) {
  Socket socket(static_cast<std::intptr_t>(
      ::socket(address.ai_family, address.ai_socktype, address.ai_protocol)));
  if (!socket.IsOpen()) {
    detail = ErrorText("socket", WSAGetLastError());
    return IoResult::Failed;
  }
  if (!MakeNonBlocking(Sock(socket))) {
    detail = ErrorText("ioctlsocket", WSAGetLastError());
    return IoResult::Failed;
  }
  if (::connect(Sock(socket), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
      detail = ErrorText("connect", error);
      return IoResult::Failed;
    }
    const IoResult waited = WaitFor(Sock(socket), true, deadline, detail);
    if (waited != IoResult::Done) {
      if (waited == IoResult::Timeout) {
        detail = "connect: no answer before the connect timeout";
      }
      return waited;
    }
    int socket_error = 0;
    int size = sizeof socket_error;
    if (::getsockopt(Sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&socket_error),
                     &size) != 0 ||
        socket_error != 0) {
      detail = ErrorText("connect", socket_error != 0 ? socket_error : WSAGetLastError());
      return IoResult::Failed;
    }
  }
  const BOOL on = TRUE;
  ::setsockopt(Sock(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on),
               sizeof on);
  out = std::move(socket);
  return IoResult::Done;
}

bool IsReset(int error) {
  return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
}

} // namespace

void CloseSocketHandle(std::intptr_t handle) { ::closesocket(static_cast<SOCKET>(handle)); }

void ShutdownSocketHandle(std::intptr_t handle) {
  ::shutdown(static_cast<SOCKET>(handle), SD_BOTH);
}

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
    const IoResult waited = WaitFor(Sock(socket), true, deadline, detail);
    if (waited != IoResult::Done) {
      return waited;
    }
    const int chunk = static_cast<int>(std::min<std::size_t>(data.size() - sent, 1 << 20));
    const int n =
        ::send(Sock(socket), reinterpret_cast<const char *>(data.data() + sent), chunk, 0);
    if (n == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK || error == WSAEINTR) {
        continue;
      }
      if (IsReset(error)) {
        return IoResult::Closed;
      }
      detail = ErrorText("send", error);
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
    const IoResult waited = WaitFor(Sock(socket), false, deadline, detail);
    if (waited != IoResult::Done) {
      return waited;
    }
    const int chunk = static_cast<int>(std::min<std::size_t>(data.size() - received, 1 << 20));
    const int n = ::recv(Sock(socket), reinterpret_cast<char *>(data.data() + received), chunk, 0);
    if (n == 0) {
      return IoResult::Closed;
    }
    if (n == SOCKET_ERROR) {
      const int error = WSAGetLastError();
      if (error == WSAEWOULDBLOCK || error == WSAEINTR) {
        continue;
      }
      if (IsReset(error)) {
        return IoResult::Closed;
      }
      detail = ErrorText("recv", error);
      return IoResult::Failed;
    }
    received += static_cast<std::size_t>(n);
  }
  return IoResult::Done;
}

IoResult WaitReadable(Socket &socket, std::chrono::milliseconds wait, std::string &detail) {
  return WaitFor(Sock(socket), false, Clock::now() + wait, detail);
}

Socket Listen(const std::string &host, const std::string &service, int &bound_port,
              std::string &detail) {
  AddressList list;
  if (!Resolve(host, service, true, list, detail)) {
    return Socket();
  }
  for (const addrinfo *address = list.head; address != nullptr; address = address->ai_next) {
    Socket socket(static_cast<std::intptr_t>(
        ::socket(address->ai_family, address->ai_socktype, address->ai_protocol)));
    if (!socket.IsOpen()) {
      detail = ErrorText("socket", WSAGetLastError());
      continue;
    }
    if (::bind(Sock(socket), address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0 ||
        ::listen(Sock(socket), 16) != 0 || !MakeNonBlocking(Sock(socket))) {
      detail = ErrorText("bind", WSAGetLastError());
      continue;
    }
    sockaddr_storage bound{};
    int size = sizeof bound;
    bound_port = 0;
    if (::getsockname(Sock(socket), reinterpret_cast<sockaddr *>(&bound), &size) == 0) {
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
  if (WaitFor(Sock(listener), false, Clock::now() + wait, ignored) != IoResult::Done) {
    return Socket();
  }
  Socket socket(static_cast<std::intptr_t>(::accept(Sock(listener), nullptr, nullptr)));
  if (socket.IsOpen()) {
    MakeNonBlocking(Sock(socket));
    const BOOL on = TRUE;
    ::setsockopt(Sock(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on),
                 sizeof on);
  }
  return socket;
}

} // namespace rfcwire
#endif
