// The accept loop; finished session threads are joined as it goes, the rest at the end.
#include "sapsim/server.h"

#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "wire/wire_channel.h"
#include "wire/wire_messages.h"
#include "sapsim/session.h"

namespace sapsim {
namespace {

constexpr std::chrono::milliseconds kRefusalWait{100};

struct Running {
  std::thread thread;
  std::atomic<bool> done{false};
  // The session's socket while it is open; guarded, so a stop never shuts down a handle that
  // the session has already closed (and the system may have handed out again).
  std::mutex mutex;
  std::intptr_t handle = -1;
};

void JoinFinished(std::list<std::unique_ptr<Running>> &sessions, bool all) {
  for (auto it = sessions.begin(); it != sessions.end();) {
    if (all || (*it)->done) {
      (*it)->thread.join();
      it = sessions.erase(it);
    } else {
      ++it;
    }
  }
}

void CutOff(std::list<std::unique_ptr<Running>> &sessions) {
  for (const std::unique_ptr<Running> &running : sessions) {
    const std::lock_guard<std::mutex> lock(running->mutex);
    if (running->handle != -1) {
      rfcwire::ShutdownSocketHandle(running->handle);
    }
  }
}

void Refuse(rfcwire::Socket client, const std::string &peer, std::size_t max_sessions,
            EventLog &log) {
  log.Write(peer + ": refused, " + std::to_string(max_sessions) +
            " sessions are running (--max-sessions)");
  std::string ignored;
  rfcwire::SendFrame(client,
                     rfcwire::Encode(rfcwire::MessageType::Failure,
                                     rfcwire::Notice{"too many connections to this system"}),
                     rfcwire::Clock::now() + kRefusalWait, ignored);
}

} // namespace

void Serve(rfcwire::Socket &listener, const SystemDescription &system,
           const std::atomic<bool> &stopping, EventLog &log, std::size_t max_sessions,
           std::chrono::seconds idle_limit) {
  std::list<std::unique_ptr<Running>> sessions;
  unsigned long counter = 0;
  while (!stopping) {
    rfcwire::Socket client = rfcwire::Accept(listener, kStopPoll);
    JoinFinished(sessions, false);
    if (!client.IsOpen()) {
      continue;
    }
    const std::string peer = "connection " + std::to_string(++counter);
    if (sessions.size() >= max_sessions) {
      Refuse(std::move(client), peer, max_sessions, log);
      continue;
    }
    try {
      sessions.push_back(std::make_unique<Running>());
    } catch (const std::exception &error) {
      log.Write(peer + ": refused, " + error.what());
      continue;
    }
    Running *state = sessions.back().get();
    state->handle = client.Handle();
    try {
      state->thread = std::thread([state, peer, &system, &stopping, &log, idle_limit,
                                   socket = std::move(client)]() mutable {
        Session session(std::move(socket), std::move(peer), system, stopping, log, idle_limit);
        session.Run();
        {
          // From here on a stop leaves this socket alone; the session closes it.
          const std::lock_guard<std::mutex> lock(state->mutex);
          state->handle = -1;
        }
        state->done = true;
      });
    } catch (const std::exception &error) {
      // No thread for this client (the lambda took the socket along and closed it): the others
      // go on.
      sessions.pop_back();
      log.Write(peer + ": refused, " + error.what());
    }
  }
  CutOff(sessions);
  JoinFinished(sessions, true);
}

} // namespace sapsim
