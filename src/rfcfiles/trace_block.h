// The block a library appends to Dev_Rfc.Trc for a failure, in the classic library's shape:
// a header line, keyed lines with the value from column 13, an empty line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rfcfiles {

inline constexpr std::string_view kTraceHeaderPrefix = "**** ERROR file opened at ";
/// Keys stand in the first 12 columns; readers take the value from column 13.
inline constexpr std::size_t kTraceKeyWidth = 12;

struct TraceEntry {
  std::string location; // operation and partner
  std::string error;    // the reason a reader shows the user
  int rc = 1;
  std::string detail; // more on the cause, when there is more
};

/// The local time a block is stamped with; an empty zone is left out of the header.
struct TraceStamp {
  int year = 1970, month = 1, day = 1; // month 1..12
  int weekday = 4;                     // 0 = Sunday
  int hour = 0, minute = 0, second = 0;
  std::string zone;
};

/// The local time now, with the zone's name, as the stand-ins stamp their blocks and messages.
TraceStamp LocalNow();

/// The time as the TIME line of a library's message gives it: "Wed Dec 09 15:38:25 2026", in
/// English names whatever the process's locale.
std::string ClassicTime(const TraceStamp &stamp);

/// Which library writes: its release as "major,minor,patch", the header's last word and the
/// COMPONENT line.
struct TraceWriter {
  std::string release;
  std::string_view kind;
  std::string_view component;
};

/// The lines of a library message that is a block of keyed lines (each key padded with blanks to
/// column 12, lines ended by LF, as SAP's network layer reports a failure), without empty lines;
/// none when the message is anything else, such as one line of text. It must hold an ERROR line.
/// A line that starts with blanks continues the value of the keyed line above it: the two are
/// one line, the value joined by one blank. Line ends (LF, CR LF) are not part of a line.
std::vector<std::string> KeyedLines(std::string_view message);

/// The value (from column 13) of the last of the lines with this key; empty when none has it.
std::string KeyedValue(const std::vector<std::string> &lines, std::string_view key);

/// One block. Control characters become blanks, so a text from the partner cannot forge lines.
/// `library_lines`, keyed lines the library below gave as its message, follow DETAIL as they
/// came.
std::string FormatTraceBlock(const TraceEntry &entry, const TraceStamp &stamp,
                             const TraceWriter &writer, unsigned counter,
                             const std::vector<std::string> &library_lines = {});

} // namespace rfcfiles
