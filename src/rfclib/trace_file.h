// The error file Dev_Rfc.Trc, appended in the block shape of the classic library's error file.
#pragma once

#include <string>

#include "rfcfiles/trace_block.h"

namespace rfclib {

using rfcfiles::TraceEntry;

/// Appends a block stamped with the local time; a file that cannot be written (or is no regular
/// file) is skipped silently, since tracing must never turn into a failure of its own.
void AppendTraceBlock(const TraceEntry &entry, unsigned counter);

} // namespace rfclib
