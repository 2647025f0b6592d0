// The sensor result document in its five flavours, and the error document.
#pragma once

#include <string>
#include <string_view>

#include "state/run_state.h"

/// "Halcrest" shows at most this many channels in one process; later ones are dropped.
inline constexpr int kHalcrestChannelLimit = 10;
/// "Morvane" reads at most this many characters of the channel number after "CH=".
inline constexpr std::size_t kChannelNumberWidth = 3;

void BeginDocument(RunState &state);
void BeginText(RunState &state);
void EndText(RunState &state);
void EndDocument(RunState &state);

/// Adds one channel in the current flavour; every call counts, also one that writes nothing.
void AddChannel(RunState &state, std::string_view name, std::string_view value,
                std::string_view unit);

/// Replaces the whole document by the monitoring host's error document, in every flavour.
void MakeErrorDocument(RunState &state, std::string_view text);

/// Decimal digits with "." between groups of three, at most two separators (1234.567.890).
std::string GroupThousands(std::string_view digits);

/// The channel label of "Halcrest": ten punctuation characters become "_", and the first dot.
std::string CleanLabel(std::string_view label);

/// True for the three flavours that write the monitoring host's XML.
bool IsXmlFamily(OutputMode mode);
