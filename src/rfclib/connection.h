// One logged-on connection to a system: the client side of the wire protocol.
#pragma once

#include <memory>
#include <string>

#include "rfcfiles/connect_data.h"
#include "rfclib/endpoint.h"
#include "rfclib/failure.h"
#include "rfclib/settings.h"
#include "wire/transport.h"
#include "wire/wire_client.h"
#include "wire/wire_messages.h"

namespace rfclib {

/// What bounded a wait, for the trace: its own limit, or the rest of the connection's time.
struct WaitLimit {
  std::chrono::milliseconds limit{0};
  bool connection_limit = false; // the connection's time as a whole runs out first
  std::chrono::milliseconds connection{0};
};

class Connection {
public:
  enum class Outcome { Done, Exception, SystemException, Failed };

  /// Connects and logs on within the connect timeout; null with the failure filled otherwise. A
  /// partner outside the reach is not even tried: the logon goes nowhere else.
  static std::unique_ptr<Connection> Open(const Endpoint &endpoint,
                                          const rfcwire::LogonRequest &logon,
                                          const Timeouts &timeouts, const rfcwire::Reach &reach,
                                          Failure &failure);

  /// `end` is when the connection's time as a whole runs out; `password` is the logon's, kept
  /// only so that no failure text of this connection can carry it on.
  Connection(rfcwire::WireClient client, std::string partner, Timeouts timeouts,
             rfcwire::Deadline end, std::string password);
  ~Connection();
  Connection(const Connection &) = delete;
  Connection &operator=(const Connection &) = delete;

  const std::string &Partner() const { return partner_; }
  /// The failure with the logon password masked in its texts: a partner may repeat it in any
  /// text it sends, long after the logon.
  Failure Masked(Failure failure) const;
  std::string Masked(std::string text) const;
  bool CallPending() const { return pending_; }
  const std::string &PendingFunction() const { return function_; }
  /// Drops the socket without a goodbye: used when the stream is no longer in a known state.
  void Abandon() { client_.Abandon(); }

  /// Sends the call and waits until the system has accepted it.
  bool Call(const rfcwire::CallRequest &request, Failure &failure);

  /// Waits for the outcome of the accepted call. The reply's tables point into `frame`.
  Outcome Receive(rfcwire::Frame &frame, rfcwire::ReplyView &reply,
                  rfcwire::RaisedException &raised, Failure &failure);

private:
  /// A wait of `limit` from now, cut to the connection's remaining time.
  rfcwire::Deadline WaitUntil(std::chrono::milliseconds limit) const;
  /// The deadline of the next wait for the system (its own limit, cut to the connection's
  /// remaining time), and what bounded it.
  WaitLimit NextWait(rfcwire::Deadline &until) const;

  rfcwire::WireClient client_;
  std::string partner_;
  Timeouts timeouts_;
  rfcwire::Deadline end_;
  bool pending_ = false;
  std::string function_;
  std::string password_;
};

using rfcfiles::MaskPassword;

} // namespace rfclib
