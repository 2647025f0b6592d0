// Answer payloads (what the stand-in decodes): the first byte picks the message type, the rest is
// the payload. Whatever decodes encodes back to the same bytes; a reply decoded in place agrees
// with the copying decoder, its tables lie inside the frame and never exceed the row limit.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "wire/wire_messages.h"

namespace {

void CheckReply(const rfcwire::Frame &frame) {
  rfcwire::Reply reply;
  rfcwire::ReplyView view;
  std::string problem;
  std::string view_problem;
  const bool decoded = rfcwire::Decode(frame, reply, problem);
  FUZZ_CHECK(rfcwire::Decode(frame, view, view_problem) == decoded);
  FUZZ_CHECK(problem == view_problem);
  if (!decoded) {
    FUZZ_CHECK(!problem.empty());
    return;
  }
  FUZZ_CHECK(rfcwire::Encode(reply).payload == frame.payload);
  FUZZ_CHECK(reply.importing.size() <= rfcwire::kMaxListEntries);
  for (const rfcwire::Value &value : reply.importing) {
    FUZZ_CHECK(value.kind != rfcwire::ValueKind::Integer || value.bytes.size() == 4);
  }
  FUZZ_CHECK(view.tables.size() == reply.tables.size());
  const std::uint8_t *begin = frame.payload.data();
  const std::uint8_t *end = begin + frame.payload.size();
  for (std::size_t i = 0; i < view.tables.size(); ++i) {
    const rfcwire::TableView &table = view.tables[i];
    FUZZ_CHECK(table.rows <= rfcwire::kMaxTableRows);
    FUZZ_CHECK(table.line_length >= 1 && table.line_length <= rfcwire::kMaxLineLength);
    FUZZ_CHECK(table.data.size() == std::size_t{table.rows} * table.line_length);
    FUZZ_CHECK(table.data.empty() || (table.data.data() >= begin && table.data.data() < end &&
                                      table.data.size() <= std::size_t(end - table.data.data())));
    FUZZ_CHECK(table.name == reply.tables[i].name);
    FUZZ_CHECK(std::equal(table.data.begin(), table.data.end(), reply.tables[i].data.begin(),
                          reply.tables[i].data.end()));
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  using rfcwire::MessageType;
  constexpr MessageType kTypes[] = {MessageType::LogonAccepted, MessageType::LogonRejected,
                                    MessageType::CallAccepted,  MessageType::Reply,
                                    MessageType::Exception,     MessageType::SystemException,
                                    MessageType::Failure};
  rfcwire::Frame frame;
  frame.type = kTypes[data[0] % std::size(kTypes)];
  frame.payload.assign(data + 1, data + size);
  std::string problem;
  switch (frame.type) {
  case MessageType::LogonAccepted: {
    rfcwire::LogonAccepted accepted;
    if (rfcwire::Decode(frame, accepted, problem)) {
      FUZZ_CHECK(rfcwire::Encode(accepted).payload == frame.payload);
    }
    break;
  }
  case MessageType::LogonRejected:
  case MessageType::Failure: {
    rfcwire::Notice notice;
    if (rfcwire::Decode(frame, notice, problem)) {
      FUZZ_CHECK(notice.text.size() <= rfcwire::kMaxTextLength);
      FUZZ_CHECK(rfcwire::Encode(frame.type, notice).payload == frame.payload);
    }
    break;
  }
  case MessageType::Exception:
  case MessageType::SystemException: {
    rfcwire::RaisedException raised;
    if (rfcwire::Decode(frame, raised, problem)) {
      FUZZ_CHECK(!raised.name.empty());
      FUZZ_CHECK(rfcwire::Encode(frame.type, raised).payload == frame.payload);
    }
    break;
  }
  case MessageType::Reply:
    CheckReply(frame);
    break;
  default:
    FUZZ_CHECK(rfcwire::DecodeEmpty(frame, problem) == frame.payload.empty());
    break;
  }
  return 0;
}
