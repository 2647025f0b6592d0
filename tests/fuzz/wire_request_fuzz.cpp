// Request payloads (what a system decodes): the first byte picks Logon, Call or Close, the rest is
// the payload. Whatever decodes encodes back to the very same bytes and keeps every limit.
#include <cstdint>
#include <vector>

#include "fuzz_check.h"
#include "wire/wire_messages.h"

namespace {

void CheckValues(const std::vector<rfcwire::Value> &values) {
  FUZZ_CHECK(values.size() <= rfcwire::kMaxListEntries);
  for (const rfcwire::Value &value : values) {
    FUZZ_CHECK(value.name.size() <= rfcwire::kMaxNameLength);
    FUZZ_CHECK(value.bytes.size() <= rfcwire::kMaxValueLength);
    FUZZ_CHECK(value.kind != rfcwire::ValueKind::Integer || value.bytes.size() == 4);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) {
    return 0;
  }
  rfcwire::Frame frame;
  frame.payload.assign(data + 1, data + size);
  std::string problem;
  switch (data[0] % 3) {
  case 0: {
    frame.type = rfcwire::MessageType::Logon;
    rfcwire::LogonRequest logon;
    if (rfcwire::Decode(frame, logon, problem)) {
      FUZZ_CHECK(frame.payload.size() <= rfcwire::kMaxLogonPayload);
      FUZZ_CHECK(rfcwire::Encode(logon).payload == frame.payload);
    } else {
      FUZZ_CHECK(!problem.empty());
    }
    break;
  }
  case 1: {
    frame.type = rfcwire::MessageType::Call;
    rfcwire::CallRequest call;
    if (rfcwire::Decode(frame, call, problem)) {
      FUZZ_CHECK(!call.function.empty() && call.function.size() <= rfcwire::kMaxNameLength);
      CheckValues(call.exporting);
      FUZZ_CHECK(call.tables.size() <= rfcwire::kMaxListEntries);
      for (const rfcwire::Table &table : call.tables) {
        FUZZ_CHECK(table.line_length >= 1 && table.line_length <= rfcwire::kMaxLineLength);
        FUZZ_CHECK(table.rows <= rfcwire::kMaxTableRows);
        FUZZ_CHECK(table.data.size() == std::size_t{table.rows} * table.line_length);
      }
      const rfcwire::Frame again = rfcwire::Encode(call);
      FUZZ_CHECK(again.type == rfcwire::MessageType::Call && again.payload == frame.payload);
    } else {
      FUZZ_CHECK(!problem.empty());
    }
    break;
  }
  default:
    frame.type = rfcwire::MessageType::Close;
    FUZZ_CHECK(rfcwire::DecodeEmpty(frame, problem) == frame.payload.empty());
    break;
  }
  return 0;
}
