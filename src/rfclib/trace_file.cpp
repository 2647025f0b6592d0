// Stamping and appending of error blocks.
#include "rfclib/trace_file.h"

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/file_names.h"
#include "rfcfiles/trace_block.h"

namespace rfclib {

void AppendTraceBlock(const TraceEntry &entry, unsigned counter) {
  const rfcfiles::TraceStamp stamp = rfcfiles::LocalNow();
  const rfcfiles::TraceWriter writer{"700,0,0", "STANDIN", "RFC stand-in"};
  rfcfiles::AppendToRegularFile(std::string(rfcfiles::kTraceFile),
                                rfcfiles::FormatTraceBlock(entry, stamp, writer, counter));
}

} // namespace rfclib
