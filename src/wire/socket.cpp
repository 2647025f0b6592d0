// The socket owner shared by both transports; only closing a handle differs between systems.
#include "wire/transport.h"

namespace rfcwire {

Socket::~Socket() { Close(); }

Socket::Socket(Socket &&other) noexcept : handle_(other.handle_) { other.handle_ = kNoSocket; }

Socket &Socket::operator=(Socket &&other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kNoSocket;
  }
  return *this;
}

void Socket::Close() {
  if (handle_ != kNoSocket) {
    CloseSocketHandle(handle_);
    handle_ = kNoSocket;
  }
}

} // namespace rfcwire
