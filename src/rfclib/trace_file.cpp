// Stamping and appending of error blocks.
#include "rfclib/trace_file.h"

#include <array>
#include <ctime>

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/file_names.h"
#include "rfcfiles/trace_block.h"

namespace rfclib {

void AppendTraceBlock(const TraceEntry &entry, unsigned counter) {
  const std::tm local = rfcfiles::LocalNow();
  std::array<char, 64> zone{};
  std::strftime(zone.data(), zone.size(), "%Z", &local);
  const rfcfiles::TraceStamp stamp{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                   local.tm_wday,        local.tm_hour,    local.tm_min,
                                   local.tm_sec,         zone.data()};
  const rfcfiles::TraceWriter writer{"700,0,0", "STANDIN", "RFC stand-in"};
  rfcfiles::AppendToRegularFile(std::string(rfcfiles::kTraceFile),
                                rfcfiles::FormatTraceBlock(entry, stamp, writer, counter));
}

} // namespace rfclib
