// The library is bound after start-up and the profile checks, so that their errors come first.
#include "rfc/library_binding.h"

#include "output/error_ending.h"

void EnsureRfcLibrary(RunState &state) {
  if (state.rfc) return;
  std::string problem = "no RFC library is configured...";
  if (state.BindRfc) state.rfc = state.BindRfc(&problem);
  if (!state.rfc) EndWithErrorDocument(state, problem);
}
