// The stand-in reading a partner's answers from a socket: the fuzz bytes are everything the
// partner sends after the call (the acceptance, then the reply), read by the connection exactly
// as RfcCall and RfcReceive read them, and the reply then stored into the sensor's two tables and
// importing fields as RfcReceive stores it. Every outcome is one the library documents, stored
// tables keep the row and size limits, and a refused reply leaves every table and field unchanged.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "rfclib/connection.h"
#include "rfclib/internal_tables.h"
#include "rfclib/parameters.h"
#include "rfclib/structures.h"

namespace {

constexpr unsigned kLine = 30; // ORA_MISS, as the sensor declares it

// Sends the partner's bytes and ends the partner's side of the stream, so reading never waits.
rfcwire::Socket PartnerSaid(const std::uint8_t *data, std::size_t size, rfcwire::Socket &partner) {
  int fds[2];
  FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
  rfcwire::Socket ours(fds[0]);
  partner = rfcwire::Socket(fds[1]);
  const int buffer = 4 * 1024 * 1024;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  std::size_t sent = 0;
  while (sent < size) {
    const ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      break; // more than the socket holds: the rest is simply never sent
    }
    sent += static_cast<std::size_t>(n);
  }
  ::shutdown(fds[1], SHUT_WR);
  return ours;
}

struct Importing {
  std::array<char, 200> rfcsi{};
  std::array<char, 16> guard{};
  std::int32_t resources = -1;
  std::array<char, 14> datetime{};
};

// `payload` is the frame the reply's tables point into; a table may take it over.
void CheckStored(const rfcwire::ReplyView &reply, std::vector<std::uint8_t> &payload) {
  rfclib::TableRegistry registry;
  rfclib::StructureRegistry structures;
  const ITAB_H undefined = registry.Create("INDEX_NOT_DEFINED", kLine);
  const ITAB_H missing = registry.Create("MISSING_INDEX", kLine);
  std::memcpy(registry.Find(undefined)->rows.Append(), "KEPT", 4);
  std::memcpy(registry.Find(missing)->rows.Append(), "KEPT", 4);
  RFC_TABLE tables[] = {{const_cast<char *>("INDEX_NOT_DEFINED"), 17, TYPC, kLine, undefined, 0, 0},
                        {const_cast<char *>("MISSING_INDEX"), 13, TYPC, kLine, missing, 0, 0},
                        {}};
  Importing target;
  target.rfcsi.fill('?');
  target.guard.fill('G');
  target.datetime.fill('?');
  RFC_PARAMETER importing[] = {
      {const_cast<char *>("RFCSI_EXPORT"), 12, TYPC, 200, target.rfcsi.data()},
      {const_cast<char *>("CURRENT_RESOURCES"), 17, TYPINT, 4, &target.resources},
      {const_cast<char *>("DATETIME"), 8, TYPC, 14, target.datetime.data()},
      {}};
  // What each table should hold afterwards, taken before the payload may change hands.
  struct Expected {
    ITAB_H handle;
    const rfcwire::TableView *source;
    std::vector<std::uint8_t> last_row;
  };
  std::vector<Expected> expected;
  const std::pair<std::string, ITAB_H> listed[] = {{"INDEX_NOT_DEFINED", undefined},
                                                   {"MISSING_INDEX", missing}};
  for (const auto &item : listed) {
    const auto found =
        std::find_if(reply.tables.begin(), reply.tables.end(),
                     [&item](const rfcwire::TableView &t) { return t.name == item.first; });
    const ITAB_H handle = item.second;
    Expected entry{handle, found == reply.tables.end() ? nullptr : &*found, {}};
    if (entry.source != nullptr && entry.source->rows != 0) {
      const std::size_t line = entry.source->line_length;
      const auto row =
          entry.source->data.begin() + static_cast<std::ptrdiff_t>((entry.source->rows - 1) * line);
      entry.last_row.assign(row,
                            row + static_cast<std::ptrdiff_t>(std::min<std::size_t>(line, kLine)));
      entry.last_row.resize(kLine, ' ');
    }
    expected.push_back(std::move(entry));
  }
  const std::uint32_t source_rows[] = {
      expected[0].source == nullptr ? 1u : expected[0].source->rows,
      expected[1].source == nullptr ? 1u : expected[1].source->rows};
  std::string problem;
  if (rfclib::StoreTables(tables, payload, reply.tables, registry, structures, problem)) {
    rfclib::StoreImporting(importing, reply.importing, structures);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      rfclib::TableRows &rows = registry.Find(expected[i].handle)->rows;
      FUZZ_CHECK(rows.Count() == source_rows[i]);
      FUZZ_CHECK(rows.Count() <= rfclib::kMaxRows);
      FUZZ_CHECK(std::uint64_t{rows.Count()} * kLine <= rfcwire::kMaxPayload);
      if (expected[i].source != nullptr && rows.Count() != 0) {
        const std::uint8_t *last = rows.Row(rows.Count() - 1);
        FUZZ_CHECK(last != nullptr && rows.Row(rows.Count()) == nullptr);
        FUZZ_CHECK(std::equal(expected[i].last_row.begin(), expected[i].last_row.end(), last));
      }
    }
  } else {
    FUZZ_CHECK(!problem.empty());
    for (const Expected &entry : expected) {
      rfclib::TableRows &rows = registry.Find(entry.handle)->rows;
      FUZZ_CHECK(rows.Count() == 1 && std::memcmp(rows.Row(0), "KEPT", 4) == 0);
    }
  }
  FUZZ_CHECK(
      std::all_of(target.guard.begin(), target.guard.end(), [](char c) { return c == 'G'; }));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  rfcwire::Socket partner;
  rfcwire::Socket ours = PartnerSaid(data, size, partner);
  rfclib::Timeouts timeouts;
  timeouts.call = std::chrono::milliseconds(1000);
  rfclib::Connection connection(rfcwire::WireClient(std::move(ours)), "fuzz partner", timeouts,
                                rfcwire::Clock::now() + timeouts.connection, "Secret1");
  rfcwire::CallRequest request;
  request.function = "DB_ORA_MISSING_INDICES";
  rfclib::Failure failure;
  if (!connection.Call(request, failure)) {
    FUZZ_CHECK(!failure.reason.empty() && !failure.key.empty());
    // Whatever the partner says, what the library records of it never repeats the password.
    const rfclib::Failure shown = connection.Masked(failure);
    FUZZ_CHECK(shown.reason.find("Secret1") == std::string::npos);
    FUZZ_CHECK(shown.detail.find("Secret1") == std::string::npos);
    FUZZ_CHECK(failure.protocol_violation == (failure.key == std::string(rfclib::kKeyProtocol)));
    FUZZ_CHECK(!connection.CallPending());
    return 0;
  }
  FUZZ_CHECK(connection.CallPending());
  rfcwire::Frame frame;
  rfcwire::ReplyView reply;
  rfcwire::RaisedException raised;
  const rfclib::Connection::Outcome outcome = connection.Receive(frame, reply, raised, failure);
  FUZZ_CHECK(!connection.CallPending());
  switch (outcome) {
  case rfclib::Connection::Outcome::Done:
    FUZZ_CHECK(frame.type == rfcwire::MessageType::Reply);
    CheckStored(reply, frame.payload);
    break;
  case rfclib::Connection::Outcome::Exception:
  case rfclib::Connection::Outcome::SystemException:
    FUZZ_CHECK(!raised.name.empty() && raised.name.size() <= rfcwire::kMaxNameLength);
    break;
  case rfclib::Connection::Outcome::Failed:
    FUZZ_CHECK(!failure.reason.empty() && failure.connection_lost);
    FUZZ_CHECK(failure.protocol_violation == (failure.key == std::string(rfclib::kKeyProtocol)));
    break;
  }
  return 0;
}
