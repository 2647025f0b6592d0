// How a run ends: the rules of the single-profile run and of the walk, and the writer of endings.
#include "driver/endings.h"

#include <type_traits>

#include "output/log_lines.h"
#include "output/result_document.h"

namespace kestrovan {

namespace {

std::string NotOpenedText(const NotOpened &not_opened, const std::string &destination) {
  return not_opened.test_library ? TestLibraryText(destination)
                                 : "Error 1011: RFC-Open for " + destination + " failed !";
}

std::string FailedCheckText(const FailedCheck &failed) {
  return WithTraceDetail(failed.failure.text, failed.failure.trace_detail);
}

} // namespace

SystemOutcome OutcomeOf(const SystemCheck &check) {
  return std::visit([](const auto &outcome) -> SystemOutcome { return outcome; }, check.outcome);
}

SingleRunResult SingleRunRule(const SystemOutcome &outcome, const std::string &destination,
                              int time_limit_seconds) {
  return std::visit(
      [&](const auto &o) -> SingleRunResult {
        using T = std::decay_t<decltype(o)>;
        if constexpr (std::is_same_v<T, NotOpened>) {
          return ErrorEnding{NotOpenedText(o, destination)};
        } else if constexpr (std::is_same_v<T, RfcStop>) {
          if (const auto *deadline = std::get_if<RfcDeadline>(&o)) {
            return ErrorEnding{TimeLimitText(destination, deadline->step, time_limit_seconds)};
          }
          return std::get<RfcAbort>(o);
        } else if constexpr (std::is_same_v<T, IndexCounts>) {
          return o;
        } else if constexpr (std::is_same_v<T, FailedCheck>) {
          return ErrorEnding{FailedCheckText(o)};
        } else {
          static_assert(std::is_same_v<T, NotOracle>);
          return ErrorEnding{std::string(kDatabaseMismatch)};
        }
      },
      outcome);
}

WalkStep WalkRule(const SystemOutcome &outcome, const std::string &destination) {
  return std::visit(
      [&](const auto &o) -> WalkStep {
        using T = std::decay_t<decltype(o)>;
        if constexpr (std::is_same_v<T, NotOpened>) {
          // Every other system off this machine would be refused the same way, and the document
          // must say why.
          if (o.test_library) {
            return RunEnding{ErrorEnding{NotOpenedText(o, destination)}};
          }
          return SystemFailed{};
        } else if constexpr (std::is_same_v<T, RfcStop>) {
          if (const auto *abort = std::get_if<RfcAbort>(&o)) {
            return RunEnding{*abort};
          }
          return WalkCutOff{};
        } else if constexpr (std::is_same_v<T, IndexCounts>) {
          return SystemProcessed{};
        } else if constexpr (std::is_same_v<T, FailedCheck>) {
          if (o.step == CheckStep::SystemInfo) {
            return RunEnding{ErrorEnding{FailedCheckText(o)}};
          }
          return SystemFailed{};
        } else {
          static_assert(std::is_same_v<T, NotOracle>);
          return RunEnding{ErrorEnding{std::string(kDatabaseMismatch)}};
        }
      },
      outcome);
}

std::string TestLibraryText(const std::string &destination) {
  return "Error 1032: " + destination +
         " is not on this machine: the built-in RFC library is a test library and reaches "
         "loopback addresses only; install SAP's RFC library (see README)";
}

std::string TimeLimitText(const std::string &destination, const std::string &step, int seconds) {
  return "Error 1031: " + destination + " did not answer " + step + " within the time limit of " +
         std::to_string(seconds) + " s...";
}

int WriteEnding(Platform &os, const RunEnding &ending) {
  if (const auto *error = std::get_if<ErrorEnding>(&ending)) {
    os.WriteStdout(ErrorDocument(error->text));
    return kExitError;
  }
  const RfcAbort &abort = std::get<RfcAbort>(ending);
  os.WriteStdout(RfcErrorBlock(
      {abort.operation, abort.key, abort.status, abort.message, abort.internal_status}));
  return kExitRfcError;
}

} // namespace kestrovan
