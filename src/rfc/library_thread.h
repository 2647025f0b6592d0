// The one thread that calls the RFC library, so that the run can stop waiting for a call that does
// not come back in time.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace kestrovan {

using RunClock = std::chrono::steady_clock;

/// Every library call goes to this thread, one at a time, and the caller waits for it up to a
/// deadline. A call still running at the deadline is left to itself: neither the call nor the
/// library can be stopped from outside, and the run must answer its monitor before it is killed.
/// The thread is started at the first call; after a call was left, no further call is taken.
class LibraryThread {
public:
  LibraryThread() = default;
  ~LibraryThread();
  LibraryThread(const LibraryThread &) = delete;
  LibraryThread &operator=(const LibraryThread &) = delete;

  /// Runs call on the library's thread and waits until it is done or the deadline has passed;
  /// false when the call was left running. The call must own what it still touches after the
  /// deadline: the caller's frames may be gone by then.
  bool Run(std::function<void()> call, RunClock::time_point deadline);

  /// A call was left running: the process should end without waiting for it.
  bool abandoned() const { return abandoned_; }

private:
  struct Shared;
  static void Serve(const std::shared_ptr<Shared> &shared);

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool abandoned_ = false;
};

} // namespace kestrovan
