// The frame and message codec: exact bytes, round trips, and rejection of malformed input.
#include <gtest/gtest.h>

#include <array>

#include "wire/wire_frame.h"
#include "wire/wire_messages.h"

namespace kestrovan_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(WireFrameTest, CloseFrameHasTheDocumentedBytes) {
  rfcwire::Frame frame;
  frame.type = rfcwire::MessageType::Close;
  EXPECT_EQ(rfcwire::SerializeFrame(frame), (Bytes{'K', 'R', 'F', 'C', 1, 10, 0, 0, 0, 0, 0, 0}));
}

TEST(WireFrameTest, LogonPayloadIsLengthPrefixedNames) {
  const rfcwire::Frame frame =
      rfcwire::Encode(rfcwire::LogonRequest{"PRD", "100", "MON", "pw", "E"});
  EXPECT_EQ(frame.type, rfcwire::MessageType::Logon);
  EXPECT_EQ(frame.payload,
            (Bytes{3, 'P', 'R', 'D', 3, '1', '0', '0', 3, 'M', 'O', 'N', 2, 'p', 'w', 1, 'E'}));
}

struct HeaderCase {
  const char *name;
  std::array<std::uint8_t, 12> bytes;
  const char *problem; // empty: accepted
};

TEST(WireFrameTest, HeaderChecks) {
  const HeaderCase cases[] = {
      {"valid reply", {'K', 'R', 'F', 'C', 1, 6, 0, 0, 0, 0, 1, 0}, ""},
      {"payload at the limit", {'K', 'R', 'F', 'C', 1, 6, 0, 0, 0x04, 0, 0, 0}, ""},
      {"payload over the limit",
       {'K', 'R', 'F', 'C', 1, 6, 0, 0, 0x04, 0, 0, 1},
       "more than the limit"},
      {"bad magic", {'K', 'R', 'F', 'X', 1, 6, 0, 0, 0, 0, 0, 0}, "magic"},
      {"version 0", {'K', 'R', 'F', 'C', 0, 6, 0, 0, 0, 0, 0, 0}, "protocol version 0"},
      {"type 0", {'K', 'R', 'F', 'C', 1, 0, 0, 0, 0, 0, 0, 0}, "unknown message type 0"},
      {"type 11", {'K', 'R', 'F', 'C', 1, 11, 0, 0, 0, 0, 0, 0}, "unknown message type 11"},
      {"reserved set", {'K', 'R', 'F', 'C', 1, 6, 0, 1, 0, 0, 0, 0}, "reserved"},
  };
  for (const HeaderCase &c : cases) {
    rfcwire::FrameHeader header;
    const std::string problem = rfcwire::DecodeHeader(c.bytes, header);
    if (std::string(c.problem).empty()) {
      EXPECT_EQ(problem, "") << c.name;
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << ": " << problem;
    }
  }
  rfcwire::FrameHeader header;
  ASSERT_EQ(rfcwire::DecodeHeader(cases[1].bytes, header), "");
  EXPECT_EQ(header.payload_size, rfcwire::kMaxPayload);
}

TEST(WireFrameTest, ReaderStopsAtTheFirstProblem) {
  const Bytes bytes = {0, 0, 0, 5, 200};
  rfcwire::PayloadReader reader(bytes);
  std::uint32_t number = 0;
  EXPECT_TRUE(reader.U32(number));
  EXPECT_EQ(number, 5u);
  std::string name;
  EXPECT_FALSE(reader.Name(name)) << "200 > the name limit";
  EXPECT_NE(reader.Problem().find("exceeds the limit"), std::string::npos) << reader.Problem();
  std::uint8_t byte = 0;
  EXPECT_FALSE(reader.U8(byte)) << "every read fails after the first problem";
  EXPECT_FALSE(reader.Finish());
}

TEST(WireFrameTest, ReaderRejectsFieldsLongerThanWhatIsLeft) {
  const Bytes text = {0, 9, 'a', 'b'};
  rfcwire::PayloadReader reader(text);
  std::string value;
  EXPECT_FALSE(reader.Text(value));
  EXPECT_NE(reader.Problem().find("needs 9 bytes but only 2"), std::string::npos)
      << reader.Problem();
  const Bytes long_text = {0x04, 0x01};
  rfcwire::PayloadReader second(long_text);
  EXPECT_FALSE(second.Text(value)) << "1025 > the text limit";
}

TEST(WireFrameTest, WriterCutsOverlongNamesAndTexts) {
  rfcwire::PayloadWriter writer;
  writer.Name(std::string(100, 'n'));
  writer.Text(std::string(2000, 't'));
  const Bytes bytes = writer.Take();
  rfcwire::PayloadReader reader(bytes);
  std::string name;
  std::string text;
  ASSERT_TRUE(reader.Name(name));
  ASSERT_TRUE(reader.Text(text));
  EXPECT_TRUE(reader.Finish());
  EXPECT_EQ(name.size(), rfcwire::kMaxNameLength);
  EXPECT_EQ(text.size(), rfcwire::kMaxTextLength);
}

TEST(WireMessagesTest, CallRoundTrip) {
  rfcwire::CallRequest call;
  call.function = "DB_ORA_MISSING_INDICES";
  call.exporting = {{"COUNT", rfcwire::ValueKind::Integer, {0, 0, 0, 7}},
                    {"TEXT", rfcwire::ValueKind::Bytes, {'a'}}};
  call.tables = {{"MISSING_INDEX", 3, 2, {'a', 'b', 'c', 'd', 'e', 'f'}}, {"EMPTY", 30, 0, {}}};
  rfcwire::CallRequest decoded;
  std::string problem;
  ASSERT_TRUE(rfcwire::Decode(rfcwire::Encode(call), decoded, problem)) << problem;
  EXPECT_EQ(decoded.function, call.function);
  ASSERT_EQ(decoded.exporting.size(), 2u);
  EXPECT_EQ(decoded.exporting[0].kind, rfcwire::ValueKind::Integer);
  EXPECT_EQ(decoded.exporting[1].bytes, Bytes{'a'});
  ASSERT_EQ(decoded.tables.size(), 2u);
  EXPECT_EQ(decoded.tables[0].rows, 2u);
  EXPECT_EQ(decoded.tables[0].data, call.tables[0].data);
  EXPECT_EQ(decoded.tables[1].name, "EMPTY");
}

TEST(WireMessagesTest, ReplyExceptionAndNoticeRoundTrip) {
  rfcwire::Reply reply;
  reply.importing = {{"RFCSI_EXPORT", rfcwire::ValueKind::Bytes, Bytes(200, ' ')}};
  rfcwire::Reply decoded_reply;
  std::string problem;
  ASSERT_TRUE(rfcwire::Decode(rfcwire::Encode(reply), decoded_reply, problem)) << problem;
  EXPECT_EQ(decoded_reply.importing[0].bytes.size(), 200u);

  rfcwire::RaisedException raised;
  const rfcwire::Frame frame = rfcwire::Encode(rfcwire::MessageType::SystemException,
                                               rfcwire::RaisedException{"SYSTEM_FAILURE", "dump"});
  EXPECT_EQ(frame.type, rfcwire::MessageType::SystemException);
  ASSERT_TRUE(rfcwire::Decode(frame, raised, problem)) << problem;
  EXPECT_EQ(raised.name, "SYSTEM_FAILURE");
  EXPECT_EQ(raised.text, "dump");

  rfcwire::Notice notice;
  ASSERT_TRUE(rfcwire::Decode(
      rfcwire::Encode(rfcwire::MessageType::Failure, rfcwire::Notice{"down"}), notice, problem));
  EXPECT_EQ(notice.text, "down");
  EXPECT_TRUE(
      rfcwire::DecodeEmpty(rfcwire::EncodeEmpty(rfcwire::MessageType::CallAccepted), problem));
}

TEST(WireMessagesTest, CallWithoutFunctionNameIsRejected) {
  rfcwire::CallRequest call;
  rfcwire::CallRequest decoded;
  std::string problem;
  EXPECT_FALSE(rfcwire::Decode(rfcwire::Encode(call), decoded, problem));
  EXPECT_NE(problem.find("no function module"), std::string::npos) << problem;
}

TEST(WireMessagesTest, TruncatedMessagesAreRejectedAtEveryLength) {
  rfcwire::Reply reply;
  reply.importing = {{"A", rfcwire::ValueKind::Integer, {0, 0, 0, 1}}};
  reply.tables = {{"T", 2, 2, {'a', 'b', 'c', 'd'}}};
  const rfcwire::Frame whole = rfcwire::Encode(reply);
  for (std::size_t size = 0; size < whole.payload.size(); ++size) {
    rfcwire::Frame cut = whole;
    cut.payload.resize(size);
    rfcwire::Reply decoded;
    std::string problem;
    EXPECT_FALSE(rfcwire::Decode(cut, decoded, problem)) << "cut at " << size;
    EXPECT_FALSE(problem.empty()) << "cut at " << size;
  }
}

TEST(WireMessagesTest, TableLimitsAreEnforced) {
  struct Case {
    const char *name;
    std::uint32_t line_length;
    std::uint32_t rows;
    const char *problem;
  };
  const Case cases[] = {
      {"zero line length", 0, 0, "line length 0"},
      {"line too long", rfcwire::kMaxLineLength + 1, 0, "line length 65536"},
      {"more rows than bytes", 30, 1000, "claims 1000 rows"},
      {"rows times length near 2^32", 65535, 65537, "claims 65537 rows"},
      {"more rows than a table may hold", 1, rfcwire::kMaxTableRows + 1,
       "16777217 rows, more than the limit of 16777216"},
  };
  for (const Case &c : cases) {
    rfcwire::PayloadWriter writer;
    writer.U32(0);
    writer.U32(1);
    writer.Name("T");
    writer.U32(c.line_length);
    writer.U32(c.rows);
    rfcwire::Frame frame;
    frame.type = rfcwire::MessageType::Reply;
    frame.payload = writer.Take();
    rfcwire::Reply decoded;
    std::string problem;
    EXPECT_FALSE(rfcwire::Decode(frame, decoded, problem)) << c.name;
    EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << ": " << problem;
  }
}

} // namespace
} // namespace kestrovan_test
