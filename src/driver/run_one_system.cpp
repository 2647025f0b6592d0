// The run of one system. The RFC connection layer is not part of this build yet, so the run
// ends with an error document that says so instead of pretending to have checked anything.
#include "driver/run_one_system.h"

#include "output/error_ending.h"
#include "output/log_lines.h"

void RunOneSystem(RunState &state) {
  WriteLogLine(state, 0, "program started", state.arguments.empty() ? "" : state.arguments[0]);
  EndWithErrorDocument(state, "Kestrovan: the RFC connection layer is missing in this build...");
}
