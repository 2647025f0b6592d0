// The library's own thread: one call at a time, handed over and waited for with a deadline.
#include "rfc/library_thread.h"

#include <condition_variable>
#include <mutex>

namespace kestrovan {

struct LibraryThread::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::function<void()> call;
  bool pending = false; // a call waits for the thread
  bool done = false;    // the last call has come back
  bool quit = false;
};

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
    const std::lock_guard lock(shared_->mutex);
    shared_->quit = true;
  }
  shared_->changed.notify_all();
  thread_.join();
}

bool LibraryThread::Run(std::function<void()> call, RunClock::time_point deadline) {
  if (abandoned_) {
    return false;
  }
  if (!thread_.joinable()) {
    shared_ = std::make_shared<Shared>();
    thread_ = std::thread([shared = shared_] { Serve(shared); });
  }
  std::unique_lock lock(shared_->mutex);
  shared_->call = std::move(call);
  shared_->pending = true;
  shared_->done = false;
  shared_->changed.notify_all();
  if (!shared_->changed.wait_until(lock, deadline, [this] { return shared_->done; })) {
    abandoned_ = true;
    return false;
  }
  return true;
}

void LibraryThread::Serve(const std::shared_ptr<Shared> &shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    shared->changed.wait(lock, [&] { return shared->pending || shared->quit; });
    if (shared->pending) {
      std::function<void()> call = std::move(shared->call);
      shared->pending = false;
      lock.unlock();
      call();
      lock.lock();
      shared->done = true;
      shared->changed.notify_all();
      continue;
    }
    return;
  }
}

} // namespace kestrovan
