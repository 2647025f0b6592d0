// The trace file's last error text.
#include "session/error_report.h"

#include <algorithm>

namespace kestrovan {

namespace {

// A block of the trace starts with its header; its error text follows either after "ERROR"
// padded to 12 characters, or after the message marker indented by seven blanks.
constexpr std::string_view kTraceHeader = "**** ERROR ";
constexpr std::string_view kErrorKey = "ERROR ";
constexpr std::size_t kErrorTextColumn = 12;
constexpr std::string_view kMessageMarker = "======> ";
constexpr std::size_t kMessageMarkerColumn = 7;

std::string DetailFrom(const std::string &piece, std::size_t from) {
  std::string detail = piece.size() > from ? piece.substr(from) : std::string();
  // The detail never ends in a line end: the line feed goes, then a carriage return before it.
  if (detail.ends_with('\n')) {
    detail.pop_back();
  }
  if (detail.ends_with('\r')) {
    detail.pop_back();
  }
  return detail;
}

} // namespace

std::optional<std::string> ReadTraceDetail(Platform &os) {
  const auto trace = os.OpenTextEnd(std::string(kTraceFile), kTraceEndScanned);
  if (!trace) {
    return std::nullopt;
  }
  std::string detail;
  std::string piece;
  while (trace->Next(kTracePiece, &piece)) {
    // When several tests fit one piece, the last one wins; a new block forgets the one before.
    if (piece.starts_with(kTraceHeader)) {
      detail.clear();
    }
    if (piece.starts_with(kErrorKey)) {
      detail = DetailFrom(piece, kErrorTextColumn);
    }
    if (std::string_view(piece)
            .substr(std::min(piece.size(), kMessageMarkerColumn))
            .starts_with(kMessageMarker)) {
      detail = DetailFrom(piece, kMessageMarkerColumn + kMessageMarker.size());
    }
  }
  return detail;
}

} // namespace kestrovan
