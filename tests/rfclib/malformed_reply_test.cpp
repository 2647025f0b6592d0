// Replies that break the protocol, and replies whose sizes differ from what the caller declared.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "library_fixture.h"
#include "wire/wire_messages.h"
#include "scripted_partner.h"
#include "sensor_calls.h"

namespace kestrovan_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string g_operation;
void RFC_CALL RecordingHandler(char *operation) { g_operation = operation; }

Bytes Header(std::uint8_t version, std::uint8_t type, std::uint8_t reserved, std::uint32_t size) {
  return {'K',
          'R',
          'F',
          'C',
          version,
          type,
          reserved,
          0,
          static_cast<std::uint8_t>(size >> 24),
          static_cast<std::uint8_t>(size >> 16),
          static_cast<std::uint8_t>(size >> 8),
          static_cast<std::uint8_t>(size)};
}

// A frame whose header is right for the payload given.
Bytes Framed(rfcwire::MessageType type, Bytes payload) {
  rfcwire::Frame frame;
  frame.type = type;
  frame.payload = std::move(payload);
  return rfcwire::SerializeFrame(frame);
}

Bytes ReplyPayload(void (*fill)(rfcwire::PayloadWriter &)) {
  rfcwire::PayloadWriter writer;
  fill(writer);
  return writer.Take();
}

class MalformedReplyTest : public LibraryTest {
protected:
  RFC_HANDLE OpenTo(const ScriptedPartner &partner) {
    OpenValues values;
    values.mode = RFC_MODE_CPIC;
    values.gateway_host = partner.Address();
    values.gateway_service = partner.Port();
    return Open(values);
  }
};

struct MalformedCase {
  const char *name;
  Bytes answer;
  const char *message_part; // expected inside RfcLastError's message
};

TEST_F(MalformedReplyTest, EveryProtocolViolationReachesTheHandler) {
  using rfcwire::MessageType;
  const MalformedCase cases[] = {
      {"bad magic", Bytes{'H', 'T', 'T', 'P', '/', '1', '.', '1', ' ', '2', '0', '0'}, "magic"},
      {"other version", Header(2, 6, 0, 0), "protocol version 2"},
      {"unknown type", Header(1, 99, 0, 0), "unknown message type 99"},
      {"reserved byte set", Header(1, 6, 1, 0), "reserved"},
      {"oversize length", Header(1, 6, 0, 0xFFFFFFFFu), "more than the limit"},
      {"too many values",
       Framed(MessageType::Reply, ReplyPayload([](rfcwire::PayloadWriter &w) { w.U32(5000); })),
       "parameter count 5000"},
      {"value longer than the payload",
       Framed(MessageType::Reply, ReplyPayload([](rfcwire::PayloadWriter &w) {
                w.U32(1);
                w.Name("RFCSI_EXPORT");
                w.U8(0);
                w.U32(200); // announces 200 bytes, none follow
              })),
       "needs 200 bytes"},
      {"oversize value", Framed(MessageType::Reply, ReplyPayload([](rfcwire::PayloadWriter &w) {
                                  w.U32(1);
                                  w.Name("RFCSI_EXPORT");
                                  w.U8(0);
                                  w.U32(0x7FFFFFFF);
                                })),
       "exceeds the limit"},
      {"integer of three bytes",
       Framed(MessageType::Reply, ReplyPayload([](rfcwire::PayloadWriter &w) {
                w.U32(1);
                w.Name("CURRENT_RESOURCES");
                w.U8(1);
                w.Blob(Bytes{0, 0, 1});
              })),
       "3 bytes instead of 4"},
      {"unknown value kind", Framed(MessageType::Reply, ReplyPayload([](rfcwire::PayloadWriter &w) {
                                      w.U32(1);
                                      w.Name("X");
                                      w.U8(9);
                                      w.Blob(Bytes{});
                                    })),
       "unknown kind 9"},
      {"table line length 0",
       Framed(MessageType::Reply, ReplyPayload([](rfcwire::PayloadWriter &w) {
                w.U32(0);
                w.U32(1);
                w.Name("MISSING_INDEX");
                w.U32(0);
                w.U32(0);
              })),
       "line length 0"},
      {"table size wraps 32 bits",
       Framed(MessageType::Reply, ReplyPayload([](rfcwire::PayloadWriter &w) {
                w.U32(0);
                w.U32(1);
                w.Name("MISSING_INDEX");
                w.U32(65536 / 2);
                w.U32(131072); // 32768 * 131072 = 2^32: zero if multiplied in 32 bits
              })),
       "claims 131072 rows"},
      {"trailing bytes", Framed(MessageType::Reply, Bytes{0, 0, 0, 0, 0, 0, 0, 0, 7}),
       "1 unexpected bytes"},
      {"exception without name", Framed(MessageType::Exception, Bytes{0, 0, 0}), "without a name"},
      {"wrong message for the phase",
       rfcwire::SerializeFrame(rfcwire::Encode(rfcwire::LogonAccepted{"X"})),
       "unexpected message type 2"},
  };
  for (const MalformedCase &c : cases) {
    ScriptedPartner partner(c.answer);
    const RFC_HANDLE handle = OpenTo(partner);
    ASSERT_NE(handle, 0u) << c.name << "\n" << Trace();
    g_operation.clear();
    RFC_ENV environment{RecordingHandler, nullptr};
    RfcEnvironment(&environment);
    SystemInfoCall call;
    EXPECT_EQ(call.Run(handle), RFC_FAILURE) << c.name;
    EXPECT_EQ(g_operation, "RfcReceive") << c.name;
    RFC_ERROR_INFO info{};
    RfcLastError(&info);
    EXPECT_STREQ(info.key, "RFC_ERROR_PROTOCOL") << c.name;
    EXPECT_NE(std::string(info.message).find(c.message_part), std::string::npos)
        << c.name << ": " << info.message;
    EXPECT_EQ(std::string(call.rfcsi.data(), 200), std::string(200, '?')) << c.name;
    RfcEnvironment(nullptr);
    RfcClose(handle);
  }
}

// One-byte rows would be copied at the caller's line length: 1025 x 65535 bytes exceed a frame.
TEST_F(MalformedReplyTest, RowsThatWouldOutgrowAFrameAtTheCallersLineLengthAreRefused) {
  rfcwire::Reply reply;
  reply.tables = {{"WIDE", 1, 1025, Bytes(1025, 'w')}};
  ScriptedPartner partner(rfcwire::SerializeFrame(rfcwire::Encode(reply)));
  const RFC_HANDLE handle = OpenTo(partner);
  ASSERT_NE(handle, 0u);
  const ITAB_H table = ItCreate(const_cast<char *>("WIDE"), rfcwire::kMaxLineLength, 0, 0);
  std::memcpy(ItAppLine(table), "KEPT", 4);
  RFC_TABLE tables[] = {{const_cast<char *>("WIDE"), 4, TYPC, rfcwire::kMaxLineLength, table, 0, 0},
                        {}};
  RFC_PARAMETER none[1] = {};
  g_operation.clear();
  RFC_ENV environment{RecordingHandler, nullptr};
  RfcEnvironment(&environment);
  ASSERT_EQ(RfcCall(handle, "ANY", none, tables), RFC_OK);
  EXPECT_EQ(RfcReceive(handle, none, tables, nullptr), RFC_FAILURE);
  EXPECT_EQ(g_operation, "RfcReceive");
  RFC_ERROR_INFO info{};
  RfcLastError(&info);
  EXPECT_STREQ(info.key, "RFC_ERROR_PROTOCOL");
  EXPECT_NE(std::string(info.message).find("1025 rows of 65535 bytes"), std::string::npos)
      << info.message;
  ASSERT_EQ(ItFill(table), 1u) << "the table keeps its rows";
  EXPECT_EQ(std::memcmp(ItGetLine(table, 1), "KEPT", 4), 0);
  ItDelete(table);
}

TEST_F(MalformedReplyTest, AReplyCutShortEndsByTimeoutNotAsAViolation) {
  Bytes cut = Header(1, 6, 0, 100);
  cut.resize(cut.size() + 10, 0);
  SetTimeouts(2000, 300);
  ScriptedPartner partner(cut);
  const RFC_HANDLE handle = OpenTo(partner);
  ASSERT_NE(handle, 0u);
  g_operation.clear();
  RFC_ENV environment{RecordingHandler, nullptr};
  RfcEnvironment(&environment);
  SystemInfoCall call;
  // The partner keeps the connection open until we leave: the cut reply ends by timeout.
  EXPECT_EQ(call.Run(handle), RFC_FAILURE);
  EXPECT_EQ(g_operation, "");
  EXPECT_EQ(TraceDetail(), "timeout during receive");
}

rfcwire::Reply SizedReply(std::size_t rfcsi_size, std::uint32_t line_length) {
  rfcwire::Reply reply;
  rfcwire::Value rfcsi;
  rfcsi.name = "RFCSI_EXPORT";
  rfcsi.bytes.assign(rfcsi_size, 'R');
  rfcwire::Value resources;
  resources.name = "CURRENT_RESOURCES";
  resources.bytes = {' ', '4', '2', ' '}; // a number sent as text
  rfcwire::Value maximal;
  maximal.name = "MAXIMAL_RESOURCES";
  maximal.kind = rfcwire::ValueKind::Integer;
  maximal.bytes = {0xFF, 0xFF, 0xFF, 0xFE}; // -2
  reply.importing = {rfcsi, resources, maximal};
  rfcwire::Table table;
  table.name = "MISSING_INDEX";
  table.line_length = line_length;
  table.rows = 2;
  table.data.assign(std::size_t{line_length} * 2, 'M');
  reply.tables = {table};
  return reply;
}

TEST_F(MalformedReplyTest, LongerValuesAreCutToTheDeclaredLength) {
  ScriptedPartner partner(rfcwire::SerializeFrame(rfcwire::Encode(SizedReply(300, 40))));
  const RFC_HANDLE handle = OpenTo(partner);
  ASSERT_NE(handle, 0u);
  struct Guarded {
    std::array<char, 200> rfcsi;
    std::array<char, 16> guard;
  } target{};
  target.guard.fill('G');
  std::int32_t current = 0;
  std::int32_t maximal = 0;
  RFC_PARAMETER importing[] = {
      {const_cast<char *>("RFCSI_EXPORT"), 12, RfcsiType(), 200, target.rfcsi.data()},
      {const_cast<char *>("CURRENT_RESOURCES"), 17, TYPINT, 4, &current},
      {const_cast<char *>("MAXIMAL_RESOURCES"), 17, TYPINT, 4, &maximal},
      {}};
  const ITAB_H table = ItCreate(const_cast<char *>("MISSING_INDEX"), 30, 0, 0);
  RFC_TABLE tables[] = {{const_cast<char *>("MISSING_INDEX"), 13, OraMissType(), 30, table, 0, 0},
                        {}};
  RFC_PARAMETER none[1] = {};
  ASSERT_EQ(RfcCall(handle, "ANY", none, tables), RFC_OK);
  ASSERT_EQ(RfcReceive(handle, importing, tables, nullptr), RFC_OK) << Trace();
  EXPECT_EQ(std::string(target.rfcsi.data(), 200), std::string(200, 'R'));
  EXPECT_EQ(std::string(target.guard.data(), 16), std::string(16, 'G')) << "written past the field";
  EXPECT_EQ(current, 42);
  EXPECT_EQ(maximal, -2);
  ASSERT_EQ(ItFill(table), 2u);
  EXPECT_EQ(std::string(static_cast<const char *>(ItGetLine(table, 2)), 30), std::string(30, 'M'));
  ItDelete(table);
  RfcClose(handle); // before the partner's destructor waits for us to leave
}

TEST_F(MalformedReplyTest, ShorterValuesArePaddedWithBlanks) {
  ScriptedPartner partner(rfcwire::SerializeFrame(rfcwire::Encode(SizedReply(10, 12))));
  const RFC_HANDLE handle = OpenTo(partner);
  ASSERT_NE(handle, 0u);
  SystemInfoCall call;
  MissingIndicesCall tables_call; // only for its tables
  tables_call.not_defined = ItCreate(const_cast<char *>("INDEX_NOT_DEFINED"), 30, 0, 0);
  tables_call.missing = ItCreate(const_cast<char *>("MISSING_INDEX"), 30, 0, 0);
  RFC_TABLE tables[] = {
      {const_cast<char *>("MISSING_INDEX"), 13, OraMissType(), 30, tables_call.missing, 0, 0}, {}};
  RFC_PARAMETER none[1] = {};
  ASSERT_EQ(RfcCall(handle, "ANY", none, tables), RFC_OK);
  ASSERT_EQ(RfcReceive(handle, call.importing.data(), tables, nullptr), RFC_OK) << Trace();
  EXPECT_EQ(std::string(call.rfcsi.data(), 200), std::string(10, 'R') + std::string(190, ' '));
  ASSERT_EQ(ItFill(tables_call.missing), 2u);
  EXPECT_EQ(std::string(static_cast<const char *>(ItGetLine(tables_call.missing, 1)), 30),
            std::string(12, 'M') + std::string(18, ' '));
  EXPECT_EQ(call.dialog_user_type[0], '?') << "values not sent stay as they were";
  RfcClose(handle);
}

} // namespace
} // namespace kestrovan_test
