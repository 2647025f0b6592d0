// The one thread that calls the RFC library, so that the run can stop waiting for a call that does
// not come back in time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace kestrovan {

using RunClock = std::chrono::steady_clock;

/// Remote library calls go to this thread, one at a time, and the caller waits for each up to a
/// time of its choosing. A call still running when the caller gives up on it is left to itself:
/// the library cannot always be stopped from outside, and the run must answer its monitor before
/// it is killed. The thread is started at the first call; after a call was left, no further call
/// is taken. A hand-off costs at most one wake-up each way, on one core: the thread keeps to the
/// core of the thread that hands it the call.
class LibraryThread {
public:
  LibraryThread() = default;
  ~LibraryThread();
  LibraryThread(const LibraryThread &) = delete;
  LibraryThread &operator=(const LibraryThread &) = delete;

  /// Hands call to the library's thread; false, without running it, once a call was left. The
  /// call must own what it touches: once it is left, the caller's frames may be gone.
  bool Start(std::function<void()> call);

  /// Waits until the call handed over last has come back, `until` has passed, or the call has
  /// nudged its caller since Nudges() gave `nudges_seen`; true when it has come back (and
  /// everything it wrote is visible to the caller).
  bool WaitUntil(RunClock::time_point until, std::uint64_t nudges_seen);

  /// What a call running on the thread uses to end its caller's wait early, when the caller
  /// should look again at what the call is doing; safe on any thread, also after the object is
  /// gone.
  std::function<void()> Nudger();
  /// How often the calls have nudged so far.
  std::uint64_t Nudges() const;

  /// Leaves the call handed over last running: no further call is taken, and the thread is not
  /// waited for when this object goes.
  void Leave() { abandoned_ = true; }

  /// A call was left running: the process should end without waiting for it.
  bool abandoned() const { return abandoned_; }

private:
  struct Shared;
  static void Serve(const std::shared_ptr<Shared> &shared);
  Shared &Prepared();

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool abandoned_ = false;
};

} // namespace kestrovan
