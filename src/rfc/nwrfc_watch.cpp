// The watchdog thread and the open thread of the NetWeaver binding.
#include "rfc/nwrfc_watch.h"

#include <memory>

namespace kestrovan {

namespace {

/// What the open thread and its caller share; the last of them to let go frees it.
struct OpenJob {
  std::vector<std::u16string> names;
  std::vector<std::u16string> values;
  std::vector<nwrfc::ConnectionParameter> parameters;
  nwrfc::OpenConnectionFn open = nullptr;
  nwrfc::CloseConnectionFn close = nullptr;
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  nwrfc::ConnectionHandle handle = nullptr;
  nwrfc::ErrorInfo error{};
};

} // namespace

CallWatch::CallWatch(nwrfc::CancelFn cancel, nwrfc::ConnectionHandle connection,
                     NwClock::time_point deadline)
    : thread_([this, cancel, connection, deadline] {
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, deadline, [this] { return stopped_; })) {
          return;
        }
        fired_ = true;
        nwrfc::ErrorInfo ignored{};
        cancel(connection, &ignored);
      }) {}

bool CallWatch::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
  return fired_;
}

BoundedOpen OpenWithin(nwrfc::OpenConnectionFn open, nwrfc::CloseConnectionFn close,
                       const std::vector<std::pair<std::u16string, std::u16string>> &parameters,
                       std::chrono::milliseconds limit) {
  auto job = std::make_shared<OpenJob>();
  job->open = open;
  job->close = close;
  for (const auto &[name, value] : parameters) {
    job->names.push_back(name);
    job->values.push_back(value);
  }
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    job->parameters.push_back({job->names[i].c_str(), job->values[i].c_str()});
  }
  std::thread([job] {
    nwrfc::ErrorInfo outcome{};
    const nwrfc::ConnectionHandle handle =
        job->open(job->parameters.data(), static_cast<unsigned>(job->parameters.size()), &outcome);
    std::lock_guard lock(job->mutex);
    if (job->abandoned) {
      nwrfc::ErrorInfo ignored{};
      if (handle) {
        job->close(handle, &ignored);
      }
      return;
    }
    job->handle = handle;
    job->error = outcome;
    job->done = true;
    job->finished.notify_all();
  }).detach();

  BoundedOpen result;
  std::unique_lock lock(job->mutex);
  if (!job->finished.wait_for(lock, limit, [&] { return job->done; })) {
    job->abandoned = true;
    result.timed_out = true;
    return result;
  }
  result.handle = job->handle;
  result.error = job->error;
  return result;
}

} // namespace kestrovan
