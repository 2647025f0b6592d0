// The Dev_Rfc.Trc block: whatever the texts of a failure hold, the block is its header, the keyed
// lines in their order (DETAIL only with a detail) and one empty line, each value on its own line
// from column 13, so a reader finds the ERROR text the block was written with.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "rfcfiles/trace_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  rfcfiles::TraceEntry entry;
  entry.location = provider.ConsumeRandomLengthString(200);
  entry.error = provider.ConsumeRandomLengthString(200);
  entry.detail = provider.ConsumeRandomLengthString(200);
  entry.rc = provider.ConsumeIntegral<int>();
  rfcfiles::TraceStamp stamp;
  stamp.year = provider.ConsumeIntegralInRange(1970, 9999);
  stamp.month = provider.ConsumeIntegralInRange(1, 12);
  stamp.day = provider.ConsumeIntegralInRange(1, 31);
  stamp.weekday = provider.ConsumeIntegralInRange(0, 6);
  stamp.hour = provider.ConsumeIntegralInRange(0, 23);
  stamp.minute = provider.ConsumeIntegralInRange(0, 59);
  stamp.second = provider.ConsumeIntegralInRange(0, 60);
  stamp.zone = provider.ConsumeRandomLengthString(40);
  const rfcfiles::TraceWriter writer{provider.ConsumeRandomLengthString(20), "STANDIN", "test"};
  const std::string block = rfcfiles::FormatTraceBlock(entry, stamp, writer, 3);

  // A library's message read as keyed lines: each is one line of the message, with a key, and one
  // of them is its ERROR line, whose value the block then carries on a line of its own.
  const std::string message = provider.ConsumeRemainingBytesAsString();
  const std::vector<std::string> keyed = rfcfiles::KeyedLines(message);
  if (!keyed.empty()) {
    bool has_error = false;
    for (const std::string &line : keyed) {
      FUZZ_CHECK(line.find('\n') == std::string::npos);
      // A line with its key as it came; a value that ran on is joined to it.
      std::string key = line.substr(0, std::min(line.size(), rfcfiles::kTraceKeyWidth));
      key.erase(key.find_last_not_of(' ') + 1);
      FUZZ_CHECK(message.find(key) != std::string::npos);
      FUZZ_CHECK(!line.empty() && line.front() != ' ');
      has_error = has_error || line.rfind("ERROR ", 0) == 0 || line == "ERROR";
    }
    FUZZ_CHECK(has_error);
    const std::string with_library = rfcfiles::FormatTraceBlock(entry, stamp, writer, 3, keyed);
    FUZZ_CHECK(with_library.ends_with("\n\n"));
    FUZZ_CHECK(rfcfiles::KeyedValue(keyed, "ERROR").find('\n') == std::string::npos);
  }

  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = block.find('\n'); end != std::string::npos;
       start = end + 1, end = block.find('\n', start)) {
    lines.push_back(block.substr(start, end - start));
  }
  FUZZ_CHECK(start == block.size()); // the block ends with a line end
  std::vector<std::string> keys = {"LOCATION",  "ERROR",   "TIME", "RELEASE",
                                   "COMPONENT", "VERSION", "RC"};
  if (!entry.detail.empty()) {
    keys.push_back("DETAIL");
  }
  keys.push_back("COUNTER");
  FUZZ_CHECK(lines.size() == keys.size() + 2);
  FUZZ_CHECK(lines.front().rfind(rfcfiles::kTraceHeaderPrefix, 0) == 0);
  FUZZ_CHECK(lines.back().empty());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::string key = keys[i];
    key.resize(rfcfiles::kTraceKeyWidth, ' ');
    FUZZ_CHECK(lines[i + 1].rfind(key, 0) == 0);
  }
  std::string error = entry.error;
  for (char &c : error) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      c = ' ';
    }
  }
  FUZZ_CHECK(lines[2].substr(rfcfiles::kTraceKeyWidth) == error);
  return 0;
}
