// The single-profile run from the open profile to the run of one system.
#include "driver/single_profile_run.h"

#include "profile/profile.h"
#include "driver/run_one_system.h"
#include "output/error_ending.h"
#include "output/log_lines.h"
#include "rfc/library_binding.h"

void SingleProfileRun(RunState &state, const std::string &profile_text) {
  TextPieces text(profile_text);
  const kestrovan::ProfileReadResult read =
      kestrovan::ReadProfile(text, kestrovan::kSingleProfilePiece, kestrovan::ProfileReading::StopAtFault,
                             state.ProfileName, state.Connection, state.DisplayHost);
  if (!read.valid) EndWithErrorDocument(state, read.first_fault);
  const std::string fault = kestrovan::CheckProfile(state.Connection, state.ProfileName);
  if (!fault.empty()) EndWithErrorDocument(state, fault);

  EnsureRfcLibrary(state);
  OpenLogStream(state);
  RunOneSystem(state);
}
