// Time bounds the NetWeaver library lacks: a watchdog that cancels a call past its deadline, and
// an open on a thread of its own that the caller leaves at its limit.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "rfcapi/nwrfc_api.h"
#include "rfcfiles/limits_file.h"

namespace kestrovan {

using NwClock = std::chrono::steady_clock;

/// The binding's settings file, read from the working directory at every open.
inline constexpr std::string_view kNwRfcLimitsFile = "NwRfcLimits.ini";

/// The NetWeaver library has no call timeout of its own: these bound every remote operation
/// unless the settings file says otherwise. With them a run of one system ends within about
/// 46 s, inside a monitor's usual 60 s.
inline constexpr rfcfiles::TimeLimits kNwRfcDefaultLimits{std::chrono::milliseconds(10000),
                                                          std::chrono::milliseconds(20000),
                                                          std::chrono::milliseconds(45000)};

/// While it lives, ends the running call on `connection` with RfcCancel once `deadline` passes.
/// Stop() waits for a cancel under way, so the connection is never cancelled after the caller
/// has moved on to close it.
class CallWatch {
public:
  CallWatch(nwrfc::CancelFn cancel, nwrfc::ConnectionHandle connection,
            NwClock::time_point deadline);
  ~CallWatch() { Stop(); }
  CallWatch(const CallWatch &) = delete;
  CallWatch &operator=(const CallWatch &) = delete;

  /// True when the deadline passed and the call was cancelled.
  bool Stop();

private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
  bool fired_ = false;
  std::thread thread_; // last: it starts once the members it uses exist
};

/// Runs `work` under a CallWatch when the library can cancel, else unbounded; true when the
/// watchdog cancelled it.
template <typename Work>
bool Watched(nwrfc::CancelFn cancel, nwrfc::ConnectionHandle connection,
             NwClock::time_point deadline, Work work) {
  if (cancel == nullptr) {
    work();
    return false;
  }
  CallWatch watch(cancel, connection, deadline);
  work();
  return watch.Stop();
}

/// How an open within a limit ended.
struct BoundedOpen {
  bool timed_out = false;
  nwrfc::ConnectionHandle handle = nullptr;
  nwrfc::ErrorInfo error{};
};

/// RfcOpenConnection with these parameters, on a thread of its own, since RfcCancel cannot
/// reach a connection that does not exist yet: the caller waits up to `limit` and then leaves
/// it; an open that succeeds after that is closed by its own thread.
BoundedOpen OpenWithin(nwrfc::OpenConnectionFn open, nwrfc::CloseConnectionFn close,
                       const std::vector<std::pair<std::u16string, std::u16string>> &parameters,
                       std::chrono::milliseconds limit);

} // namespace kestrovan
