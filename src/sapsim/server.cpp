// The accept loop; finished session threads are joined as it goes, the rest at the end.
#include "sapsim/server.h"

#include <list>
#include <memory>
#include <thread>

#include "sapsim/session.h"

namespace sapsim {
namespace {

struct Running {
  std::thread thread;
  std::atomic<bool> done{false};
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

} // namespace

void Serve(rfcwire::Socket &listener, const SystemDescription &system,
           const std::atomic<bool> &stopping, EventLog &log) {
  std::list<std::unique_ptr<Running>> sessions;
  unsigned long counter = 0;
  while (!stopping) {
    rfcwire::Socket client = rfcwire::Accept(listener, kStopPoll);
    JoinFinished(sessions, false);
    if (!client.IsOpen()) {
      continue;
    }
    auto running = std::make_unique<Running>();
    Running *state = running.get();
    const std::string peer = "connection " + std::to_string(++counter);
    running->thread =
        std::thread([state, peer, &system, &stopping, &log, socket = std::move(client)]() mutable {
          Session session(std::move(socket), peer, system, stopping, log);
          session.Run();
          state->done = true;
        });
    sessions.push_back(std::move(running));
  }
  JoinFinished(sessions, true);
}

} // namespace sapsim
