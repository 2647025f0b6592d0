// The result document in its five flavours and the error document with its texts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kestrovan {

/// The output flavours: the monitoring host's XML and four further output flavours.
/// EXEXML, Pellith and Vintrel write identical bytes.
enum class OutputMode { EXEXML, Vintrel, Pellith, Halcrest, Morvane };

/// Exit code of a run that completed and printed its result.
inline constexpr int kExitDone = 0;
/// Exit code after the RFC library's error block.
inline constexpr int kExitRfcError = 1;
/// Exit code of every ending that prints an error document.
inline constexpr int kExitError = 2;

/// "Halcrest" shows at most this many channels in one process; later ones are dropped.
inline constexpr int kHalcrestChannelLimit = 10;
/// "Morvane" reads at most this many characters of the channel number after "CH=".
inline constexpr std::size_t kChannelNumberWidth = 3;

/// The document a run writes, built up in pieces. The channel count runs for the whole process:
/// "Halcrest" stops after ten channels and "CH=" selects by it, across the systems of a listing.
class ResultDocument {
public:
  /// selected_channel is the number after "CH=" when the options hold one.
  ResultDocument(OutputMode mode, std::optional<long> selected_channel)
      : mode_(mode), selected_channel_(selected_channel) {}

  void BeginDocument();
  void BeginText();
  /// Text between BeginText and EndText, as it stands.
  void AddText(std::string_view text) { text_ += text; }
  void EndText();
  void EndDocument();
  /// Adds one channel in the current flavour; every call counts, also one that writes nothing.
  void AddChannel(std::string_view name, std::string_view value, std::string_view unit);

  /// What has been written since the last Take, handed over and cleared.
  std::string Take();

private:
  OutputMode mode_;
  std::optional<long> selected_channel_;
  int channel_count_ = 0;
  std::string text_;
};

/// The monitoring host's error document, the same in every flavour.
std::string ErrorDocument(std::string_view text);

/// A failed check's text followed by " - " and the last error text of the trace file, or by a
/// hint when the file has none (an empty detail) or could not be opened (no detail).
std::string WithTraceDetail(std::string text, const std::optional<std::string> &detail);

/// Decimal digits with "." between groups of three, at most two separators (1234.567.890).
std::string GroupThousands(std::string_view digits);

/// The channel label of "Halcrest": ten punctuation characters become "_", and the first dot.
std::string CleanLabel(std::string_view label);

/// True for the three flavours that write the monitoring host's XML.
bool IsXmlFamily(OutputMode mode);

} // namespace kestrovan
