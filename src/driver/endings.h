// How a run ends: the rules that turn what became of a system into an ending, per run kind, and
// the one place that writes an ending.
#pragma once

#include <string>
#include <variant>

#include "checks/checks.h"
#include "platform/platform.h"
#include "session/rfc_session.h"

namespace kestrovan {

/// A run that ends with an error document showing this text (exit code 2).
struct ErrorEnding {
  std::string text;
};

/// How a run ends short of its result: an error document, or the RFC library's error block
/// (exit code 1).
using RunEnding = std::variant<ErrorEnding, RfcAbort>;

/// What a step of the run found, or the error document that ends the run there.
template <typename Found> using OrEnding = std::variant<Found, ErrorEnding>;

/// A system whose connection did not open; test_library when the built-in test library refused
/// it for not being on this machine.
struct NotOpened {
  bool test_library = false;
};

/// What became of one system: its connection not opened, the session stopped, or what its checks
/// came to.
using SystemOutcome = std::variant<NotOpened, RfcStop, IndexCounts, FailedCheck, NotOracle>;

/// The outcome of a connected system's checks.
SystemOutcome OutcomeOf(const SystemCheck &check);

/// A single-profile run shows the counts in its document; anything else ends it. Its time limit
/// is an error document that names the destination and what the run waited for.
using SingleRunResult = std::variant<IndexCounts, RunEnding>;
SingleRunResult SingleRunRule(const SystemOutcome &outcome, const std::string &destination,
                              int time_limit_seconds);

/// A system of the walk whose channel was written.
struct SystemProcessed {};
/// A system of the walk that counts as failed, and the walk goes on.
struct SystemFailed {};
/// The walk's time limit came while this system was in flight: the summary says where.
struct WalkCutOff {};

/// In a global listing run only what no other system could fare better in ends the walk (the
/// library's error block, a database that is not Oracle, failed system information, the test
/// library's refusal); a connection not opened or a failed missing-indices check counts as failed.
using WalkStep = std::variant<SystemProcessed, SystemFailed, WalkCutOff, RunEnding>;
WalkStep WalkRule(const SystemOutcome &outcome, const std::string &destination);

/// "Error 1032: ...": the built-in test library refused the system because it is not on this
/// machine.
std::string TestLibraryText(const std::string &destination);

/// "Error 1031: ...": the single-profile run's time limit came while it waited for step.
std::string TimeLimitText(const std::string &destination, const std::string &step, int seconds);

/// Writes the error document or the library's block; returns the run's exit code.
int WriteEnding(Platform &os, const RunEnding &ending);

} // namespace kestrovan
