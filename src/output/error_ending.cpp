// The common error ending: error document on standard output, exit code 2.
#include "output/error_ending.h"

#include "output/result_document.h"

void EndWithErrorDocument(RunState &state, std::string_view text) {
  MakeErrorDocument(state, text);
  state.os.WriteStdout(state.ResultDocument);
  throw RunEnded{kExitError};
}
