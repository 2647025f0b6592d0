// The library's own thread: one call at a time, handed over and waited for with a deadline.
#include "session/library_thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/thread_placement.h"

namespace kestrovan {

/// Each side sleeps on a mutex and condition of its own, so that a wake-up never finds the mutex
/// it needs held by the side that woke it: one wake-up each way per call, none for a side that is
/// still awake.
struct LibraryThread::Shared {
  std::function<void()> call; // written before `handed` rises, taken after
  std::atomic<std::uint64_t> handed{0};
  std::atomic<std::uint64_t> done{0};
  std::atomic<std::uint64_t> nudges{0};
  std::atomic<int> caller_core{-1}; // where the call was handed over; the thread follows it
  std::atomic<bool> quit{false};

  std::mutex library_mutex;
  std::condition_variable library_wake;
  bool library_asleep = false; // under library_mutex

  std::mutex caller_mutex;
  std::condition_variable caller_wake;
  bool caller_asleep = false; // under caller_mutex
};

namespace {

/// Wakes a side asleep on its condition; a side still awake sees the change by itself.
void WakeIfAsleep(std::mutex &mutex, const bool &asleep, std::condition_variable &wake) {
  bool sleeping = false;
  {
    const std::lock_guard lock(mutex);
    sleeping = asleep;
  }
  if (sleeping) {
    wake.notify_one();
  }
}

} // namespace

LibraryThread::~LibraryThread() {
  if (!thread_.joinable()) {
    return;
  }
  if (abandoned_) {
    // The thread is still inside the library; it keeps what it shares alive by itself.
    thread_.detach();
    return;
  }
  {
    const std::lock_guard lock(shared_->library_mutex);
    shared_->quit.store(true);
  }
  shared_->library_wake.notify_one();
  thread_.join();
}

LibraryThread::Shared &LibraryThread::Prepared() {
  if (!shared_) {
    shared_ = std::make_shared<Shared>();
  }
  return *shared_;
}

std::function<void()> LibraryThread::Nudger() {
  Prepared();
  return [shared = shared_] {
    shared->nudges.fetch_add(1, std::memory_order_release);
    WakeIfAsleep(shared->caller_mutex, shared->caller_asleep, shared->caller_wake);
  };
}

std::uint64_t LibraryThread::Nudges() const {
  return shared_ ? shared_->nudges.load(std::memory_order_acquire) : 0;
}

bool LibraryThread::Start(std::function<void()> call) {
  if (abandoned_) {
    return false;
  }
  if (!thread_.joinable()) {
    Prepared();
    // The run's thread stays where it is now, and the library's thread joins it there: the two
    // take turns, and a wake-up on one core is cheap where one across cores is not.
    KeepThisThreadOn(CurrentCore());
    thread_ = std::thread([shared = shared_] { Serve(shared); });
  }
  // The thread is idle: the call before has come back, so nothing else touches `call` now.
  shared_->call = std::move(call);
  shared_->caller_core.store(CurrentCore(), std::memory_order_relaxed);
  shared_->handed.fetch_add(1, std::memory_order_release);
  WakeIfAsleep(shared_->library_mutex, shared_->library_asleep, shared_->library_wake);
  return true;
}

bool LibraryThread::WaitUntil(RunClock::time_point until, std::uint64_t nudges_seen) {
  if (!shared_) {
    return true;
  }
  Shared &shared = *shared_;
  const std::uint64_t handed = shared.handed.load(std::memory_order_relaxed);
  const auto back = [&] { return shared.done.load(std::memory_order_acquire) == handed; };
  const auto nudged = [&] { return shared.nudges.load(std::memory_order_acquire) != nudges_seen; };
  if (back()) {
    return true;
  }
  if (nudged()) {
    return false;
  }
  std::unique_lock lock(shared.caller_mutex);
  shared.caller_asleep = true;
  shared.caller_wake.wait_until(lock, until, [&] { return back() || nudged(); });
  shared.caller_asleep = false;
  return back();
}

void LibraryThread::Serve(const std::shared_ptr<Shared> &shared) {
  std::uint64_t taken = 0;
  int placed = -1; // the core this thread was kept on, after the first call
  const auto pending = [&] {
    return shared->handed.load(std::memory_order_acquire) != taken ||
           shared->quit.load(std::memory_order_relaxed);
  };
  for (;;) {
    if (!pending()) {
      std::unique_lock lock(shared->library_mutex);
      shared->library_asleep = true;
      shared->library_wake.wait(lock, pending);
      shared->library_asleep = false;
    }
    if (shared->handed.load(std::memory_order_acquire) == taken) {
      return; // quit, with no call waiting
    }
    ++taken;
    // A wake-up across cores costs more than the call it hands over: this thread goes where the
    // run's thread is (one of the two is idle whenever the other works).
    if (const int core = shared->caller_core.load(std::memory_order_relaxed); core != placed) {
      KeepThisThreadOn(core);
      placed = core;
    }
    std::function<void()> call = std::move(shared->call);
    call();
    call = nullptr; // what the call owns goes before the caller hears it is back
    shared->done.store(taken, std::memory_order_release);
    WakeIfAsleep(shared->caller_mutex, shared->caller_asleep, shared->caller_wake);
  }
}

} // namespace kestrovan
