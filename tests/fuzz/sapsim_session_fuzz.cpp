// sapsim serving one client: the fuzz bytes are everything the client sends (logon, calls, close,
// or anything else), read by a real session over a socket pair. Whatever comes in, the session
// ends, and what it sent back is a well-formed exchange: whole frames that decode, an answer to
// the logon first, nothing after a message that ends the session.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "fuzz_check.h"
#include "sapsim/event_log.h"
#include "sapsim/session.h"
#include "sapsim/system_file.h"
#include "wire/wire_messages.h"

namespace {

const sapsim::SystemDescription &System() {
  static const sapsim::SystemDescription system = [] {
    sapsim::SystemDescription parsed;
    std::string problem;
    FUZZ_CHECK(sapsim::ParseSystemFile("rfcsysid = PRD\nrfcdbsys = ORACLE\nclient = 100\n"
                                       "user = monitor\npassword = Secret#1\nmissing_index = 3\n"
                                       "index_not_defined = 2\n"
                                       "fail.rfc_ping = exception NOT_FOUND nothing here\n",
                                       parsed, problem));
    return parsed;
  }();
  return system;
}

// Checks the system's side of the exchange, frame by frame.
void CheckAnswers(const std::vector<std::uint8_t> &bytes) {
  std::size_t at = 0;
  bool logged_on = false;
  bool first = true;
  bool ended = false;
  while (at < bytes.size()) {
    FUZZ_CHECK(!ended);
    FUZZ_CHECK(bytes.size() - at >= rfcwire::kHeaderSize);
    std::array<std::uint8_t, rfcwire::kHeaderSize> header_bytes{};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), rfcwire::kHeaderSize,
                header_bytes.begin());
    rfcwire::FrameHeader header;
    FUZZ_CHECK(rfcwire::DecodeHeader(header_bytes, header).empty());
    at += rfcwire::kHeaderSize;
    FUZZ_CHECK(bytes.size() - at >= header.payload_size);
    rfcwire::Frame frame;
    frame.type = header.type;
    frame.payload.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + header.payload_size));
    at += header.payload_size;
    std::string problem;
    using rfcwire::MessageType;
    switch (frame.type) {
    case MessageType::LogonAccepted: {
      rfcwire::LogonAccepted accepted;
      FUZZ_CHECK(first && rfcwire::Decode(frame, accepted, problem));
      FUZZ_CHECK(accepted.system_id == "PRD");
      logged_on = true;
      break;
    }
    case MessageType::LogonRejected: {
      rfcwire::Notice notice;
      FUZZ_CHECK(first && rfcwire::Decode(frame, notice, problem));
      // One of the two documented reasons, never anything of the system's own logon.
      const std::string suffix = " is not available in this system";
      FUZZ_CHECK(
          notice.text == "Name or password is incorrect (repeat logon)" ||
          (notice.text.rfind("Client ", 0) == 0 && notice.text.size() >= suffix.size() &&
           notice.text.compare(notice.text.size() - suffix.size(), suffix.size(), suffix) == 0));
      ended = true;
      break;
    }
    case MessageType::CallAccepted:
      FUZZ_CHECK(logged_on && rfcwire::DecodeEmpty(frame, problem));
      break;
    case MessageType::Reply: {
      rfcwire::Reply reply;
      FUZZ_CHECK(logged_on && rfcwire::Decode(frame, reply, problem));
      break;
    }
    case MessageType::Exception:
    case MessageType::SystemException: {
      rfcwire::RaisedException raised;
      FUZZ_CHECK(logged_on && rfcwire::Decode(frame, raised, problem));
      ended = frame.type == MessageType::SystemException;
      break;
    }
    case MessageType::Failure: {
      rfcwire::Notice notice;
      FUZZ_CHECK(rfcwire::Decode(frame, notice, problem));
      ended = true;
      break;
    }
    default:
      FUZZ_CHECK(false && "a system sends no such message");
    }
    first = false;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  int fds[2];
  FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
  rfcwire::Socket client(fds[1]);
  // The client's side: everything at once, then the end of its stream; the answers are drained
  // by a reader so the session never waits for room to send.
  std::vector<std::uint8_t> answers;
  std::thread reader([&client, &answers, data, size] {
    std::size_t sent = 0;
    while (sent < size) {
      const ssize_t n = ::send(static_cast<int>(client.Handle()), data + sent, size - sent,
                               MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      std::array<std::uint8_t, 4096> buffer{};
      const ssize_t got =
          ::recv(static_cast<int>(client.Handle()), buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (got == 0) {
        break; // the session ended before reading everything
      }
      if (got > 0) {
        answers.insert(answers.end(), buffer.begin(), buffer.begin() + got);
      }
    }
    ::shutdown(static_cast<int>(client.Handle()), SHUT_WR);
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
      const ssize_t got =
          ::recv(static_cast<int>(client.Handle()), buffer.data(), buffer.size(), 0);
      if (got <= 0) {
        break;
      }
      answers.insert(answers.end(), buffer.begin(), buffer.begin() + got);
    }
  });
  {
    static sapsim::EventLog log(nullptr);
    const std::atomic<bool> stopping{false};
    sapsim::Session session(rfcwire::Socket(fds[0]), "fuzz client", System(), stopping, log);
    session.Run();
  } // the session's socket closes here, which ends the reader
  reader.join();
  CheckAnswers(answers);
  return 0;
}
