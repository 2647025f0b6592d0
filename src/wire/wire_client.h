// The client side of the wire protocol, shared by both library stand-ins: connect and log on,
// send a call and wait for its acceptance, wait for the reply; each answer sorted into what it
// means, the mapping into a library's own errors left to the library.
#pragma once

#include <string>

#include "wire/transport.h"
#include "wire/wire_channel.h"
#include "wire/wire_messages.h"

namespace rfcwire {

/// What one step of an exchange came to.
struct ClientOutcome {
  enum class Kind {
    Ok,              // logged on, call accepted, or a reply arrived
    Rejected,        // the logon was refused; text is the system's reason
    SystemFailure,   // the system sent a failure notice; text is its own text
    Exception,       // the function module raised an exception
    SystemException, // the call ended in a system exception
    Violation,       // what arrived breaks the protocol; text says how
    Lost,            // no frame: status says why, text the detail
    SendFailed,      // sending did not complete: sent says why, text the detail
  };
  Kind kind = Kind::Lost;
  ReceiveStatus status = ReceiveStatus::Failed;
  IoResult sent = IoResult::Done;
  std::string text;
  RaisedException raised;
  /// A Violation by a well-formed frame of a type the step does not expect: that type.
  bool unexpected = false;
  MessageType unexpected_type = MessageType::Close;
};

class WireClient {
public:
  WireClient() = default;
  explicit WireClient(Socket socket) : socket_(std::move(socket)) {}

  /// Connects before the deadline when the host is within reach (see rfcwire::Connect); a
  /// client without a socket, with the reason, otherwise.
  static WireClient Connect(const std::string &host, const std::string &port, Deadline deadline,
                            const Reach &reach, std::string &detail, bool &out_of_reach);

  bool IsOpen() const { return socket_.IsOpen(); }
  /// Drops the socket without a goodbye: the stream is no longer in a known state.
  void Abandon() { socket_.Close(); }
  /// Ends every wait of another thread on this client at once (a cancel); the socket stays
  /// open for its owner to close.
  void Interrupt() { ShutdownSocketHandle(socket_.Handle()); }
  /// Says goodbye, waiting for the send until the deadline at most; nothing is reported.
  void SayGoodbye(Deadline deadline);
  /// Waits up to `wait` for the next answer to begin; Timeout when none began.
  IoResult WaitForAnswer(std::chrono::milliseconds wait);

  /// Sends the logon and waits for the answer.
  ClientOutcome Logon(const LogonRequest &logon, Deadline deadline);
  /// Sends a call.
  ClientOutcome Send(const CallRequest &request, Deadline deadline);
  /// Waits until the system has accepted the call sent.
  ClientOutcome AwaitAcceptance(Deadline deadline);
  /// Waits for the outcome of an accepted call. A reply's tables point into `frame`; memory
  /// running out while the reply is decoded is left to the caller (std::bad_alloc).
  ClientOutcome AwaitReply(Deadline deadline, Frame &frame, ReplyView &reply);

private:
  /// The next frame; memory running out for it counts as a failed receive.
  Received Next(Deadline deadline);

  Socket socket_;
};

} // namespace rfcwire
