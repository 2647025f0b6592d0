// The single-profile run from the open profile to the run of one system.
#include "driver/single_profile_run.h"

#include "driver/profile.h"
#include "driver/run_one_system.h"
#include "output/error_ending.h"
#include "output/log_lines.h"
#include "rfc/library_binding.h"

void SingleProfileRun(RunState &state, const std::string &profile_text) {
  const ProfileReadResult read =
      ReadProfile(state, profile_text, kSingleProfilePiece, ProfileReading::StopAtFault);
  if (!read.valid) EndWithErrorDocument(state, read.first_fault);
  const std::string fault = CheckProfile(state);
  if (!fault.empty()) EndWithErrorDocument(state, fault);

  EnsureRfcLibrary(state);
  OpenLogStream(state);
  RunOneSystem(state);
}
