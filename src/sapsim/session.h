// Serves one client connection: logon, then calls until the client leaves or the system stops.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "sapsim/fault.h"
#include "wire/transport.h"
#include "wire/wire_frame.h"
#include "sapsim/event_log.h"
#include "sapsim/system_file.h"

namespace sapsim {

/// A frame that starts arriving must be complete within this time, and a client that connected
/// must have sent its logon within it.
inline constexpr std::chrono::seconds kFrameTime{30};
/// A logged-on client that sends nothing for this long is closed unless the command line sets
/// another limit: far beyond the pause between a sensor's calls, short enough that clients that
/// went away without a word do not hold their sessions for long.
inline constexpr std::chrono::seconds kDefaultIdleLimit{120};
/// How often waiting sessions look at the stop flag.
inline constexpr std::chrono::milliseconds kStopPoll{100};
/// The pause after each byte of a "trickle" reply: even a short reply takes longer than any
/// client's limit for one call.
inline constexpr std::chrono::milliseconds kTrickleGap{200};

class Session {
public:
  Session(rfcwire::Socket socket, std::string peer, const SystemDescription &system,
          const std::atomic<bool> &stopping, EventLog &log,
          std::chrono::seconds idle_limit = kDefaultIdleLimit);
  /// Never throws: whatever goes wrong (memory exhausted included) ends this session only.
  void Run() noexcept;

private:
  enum class Next { Continue, End };

  /// Waits for the next frame while watching the stop flag; false when there is none to serve.
  bool Await(rfcwire::Frame &frame);
  /// A hanging system keeps the connection open, reading and discarding, until the client leaves.
  void HangUntilClosed();
  void Sleep(std::chrono::milliseconds delay);
  bool Send(const rfcwire::Frame &frame);
  /// Carries out a fault; Continue only for an exception, after which calls go on.
  Next Inflict(const Fault &fault, const std::string &subject);
  /// The reply's bytes as a slow partner sends them: half and then silence (stall), or one byte
  /// at a time with a pause after each (trickle).
  void SendSlowly(const std::vector<std::uint8_t> &bytes, Fault::Kind kind,
                  const std::string &subject);
  bool Logon();
  Next Serve(const rfcwire::Frame &frame);
  void Note(const std::string &event);

  rfcwire::Socket socket_;
  std::string peer_;
  const SystemDescription &system_;
  const std::atomic<bool> &stopping_;
  EventLog &log_;
  bool logon_received_ = false; // until then the client has kFrameTime to send its logon
  bool logged_on_ = false;      // until then no frame may be larger than a logon
  bool hanging_ = false;        // a hang fault waits for the client, however long it is silent
  std::chrono::seconds idle_limit_;
};

/// What `call_garbage` sends instead of accepting a call: a header of a type no version knows.
inline constexpr std::uint8_t kUnknownMessageType = 0xEE;

/// Bytes that are not a frame at all, an empty frame of an unknown type, and a reply whose table
/// claims more rows than follow.
std::vector<std::uint8_t> GarbageBytes();
std::vector<std::uint8_t> UnknownTypeBytes();
std::vector<std::uint8_t> MalformedReplyBytes();

} // namespace sapsim
