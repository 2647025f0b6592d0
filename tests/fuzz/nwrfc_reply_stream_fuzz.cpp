// The NetWeaver stand-in reading a partner's answers: the fuzz bytes are everything the partner
// sends after a call (the acceptance, then the reply), read by RfcInvoke exactly as it reads a
// system. Every outcome is one the library documents; after a failure the connection is gone;
// after a reply each table holds the rows the reply's frame held, its last row read back through
// RfcGetChars as the frame has it (padded with blanks), and no row past the last.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "nwrfclib/nwrfc_containers.h"
#include "wire/wire_frame.h"
#include "wire/wire_messages.h"

extern "C" {
nwrfc::FunctionDescHandle NWRFC_CALL RfcGetFunctionDesc(nwrfc::ConnectionHandle,
                                                        const nwrfc::Unit *, nwrfc::ErrorInfo *);
nwrfc::ContainerHandle NWRFC_CALL RfcCreateFunction(nwrfc::FunctionDescHandle, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcDestroyFunction(nwrfc::ContainerHandle, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcInvoke(nwrfc::ConnectionHandle, nwrfc::ContainerHandle, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcIsConnectionHandleValid(nwrfc::ConnectionHandle, int *, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcCloseConnection(nwrfc::ConnectionHandle, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcGetTable(nwrfc::ContainerHandle, const nwrfc::Unit *,
                                 nwrfc::ContainerHandle *, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcGetRowCount(nwrfc::ContainerHandle, unsigned *, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcMoveTo(nwrfc::ContainerHandle, unsigned, nwrfc::ErrorInfo *);
nwrfc::Rc NWRFC_CALL RfcGetChars(nwrfc::ContainerHandle, const nwrfc::Unit *, nwrfc::Unit *,
                                 unsigned, nwrfc::ErrorInfo *);
}

namespace {

constexpr unsigned kLine = 30; // ORA_MISS-NAME, as the stand-in's dictionary has it

/// The second frame of the input (the one after the acceptance), if the input holds one whole.
bool ReplyOf(const std::uint8_t *data, std::size_t size, rfcwire::Frame &frame) {
  std::size_t at = 0;
  for (int index = 0; index < 2; ++index) {
    if (size - at < rfcwire::kHeaderSize) {
      return false;
    }
    std::array<std::uint8_t, rfcwire::kHeaderSize> header_bytes{};
    std::copy_n(data + at, rfcwire::kHeaderSize, header_bytes.begin());
    rfcwire::FrameHeader header;
    if (!rfcwire::DecodeHeader(header_bytes, header).empty() ||
        size - at - rfcwire::kHeaderSize < header.payload_size) {
      return false;
    }
    at += rfcwire::kHeaderSize;
    frame.type = header.type;
    frame.payload.assign(data + at, data + at + header.payload_size);
    at += header.payload_size;
  }
  return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  int fds[2];
  FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0);
  rfcwire::Socket partner(fds[1]);
  const int buffer = 4 * 1024 * 1024;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  for (std::size_t sent = 0; sent < size;) {
    const ssize_t n = ::send(fds[1], data + sent, size - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      break; // more than the socket holds: the rest is simply never sent
    }
    sent += static_cast<std::size_t>(n);
  }
  ::shutdown(fds[1], SHUT_WR); // the partner says no more, so no read waits

  nwrfclib::State &state = nwrfclib::Shared();
  nwrfc::ConnectionHandle connection = nullptr;
  {
    std::lock_guard lock(state.mutex);
    auto open = std::make_unique<nwrfclib::Connection>();
    open->client = rfcwire::WireClient(rfcwire::Socket(fds[0]));
    open->partner = "fuzz partner";
    const std::uintptr_t id = state.next_id++;
    state.connections[id] = std::move(open);
    connection = nwrfclib::Handle(id);
  }
  nwrfc::ErrorInfo error{};
  nwrfc::ContainerHandle function =
      RfcCreateFunction(RfcGetFunctionDesc(connection, u"DB_ORA_MISSING_INDICES", &error), &error);
  FUZZ_CHECK(function != nullptr);
  const nwrfc::Rc rc = RfcInvoke(connection, function, &error);
  FUZZ_CHECK(error.code == rc);
  int valid = 0;
  RfcIsConnectionHandleValid(connection, &valid, &error);
  switch (rc) {
  case nwrfc::kOk:
  case nwrfc::kAbapException:
    FUZZ_CHECK(valid == 1);
    break;
  case nwrfc::kAbapRuntimeFailure:
  case nwrfc::kCommunicationFailure:
  case nwrfc::kInvalidProtocol:
    FUZZ_CHECK(valid == 0);
    break;
  default:
    FUZZ_CHECK(false && "an outcome the library does not document");
  }
  rfcwire::Frame frame;
  rfcwire::Reply reply;
  std::string problem;
  if (rc == nwrfc::kOk) {
    FUZZ_CHECK(ReplyOf(data, size, frame) && rfcwire::Decode(frame, reply, problem));
    for (const rfcwire::Table &sent : reply.tables) {
      if (sent.name != "MISSING_INDEX" && sent.name != "INDEX_NOT_DEFINED") {
        continue;
      }
      const std::u16string name(sent.name.begin(), sent.name.end());
      nwrfc::ContainerHandle table = nullptr;
      unsigned rows = 0;
      FUZZ_CHECK(RfcGetTable(function, name.c_str(), &table, &error) == nwrfc::kOk);
      FUZZ_CHECK(RfcGetRowCount(table, &rows, &error) == nwrfc::kOk);
      FUZZ_CHECK(rows == sent.rows);
      FUZZ_CHECK(RfcMoveTo(table, rows, &error) == nwrfc::kTableMoveEof);
      if (rows == 0) {
        continue;
      }
      FUZZ_CHECK(RfcMoveTo(table, rows - 1, &error) == nwrfc::kOk);
      std::u16string got(kLine, u'?');
      FUZZ_CHECK(RfcGetChars(table, u"NAME", got.data(), kLine, &error) == nwrfc::kOk);
      std::u16string expected;
      const std::size_t from = std::size_t{rows - 1} * sent.line_length;
      for (std::size_t i = 0; i < std::min(kLine, sent.line_length); ++i) {
        expected.push_back(static_cast<unsigned char>(sent.data[from + i]));
      }
      expected.resize(kLine, u' ');
      FUZZ_CHECK(got == expected);
    }
  }
  RfcDestroyFunction(function, &error);
  if (valid == 1) {
    RfcCloseConnection(connection, &error);
  }
  return 0;
}
