// An RFC session on a scratch tree, bound to the scripted library: the common ground of the
// in-process tests of the connection layer and the checks.
#pragma once

#include "fake_rfc_library.h"
#include "output/log_lines.h"
#include "output/result_document.h"
#include "rfc/rfc_session.h"
#include "test_platform.h"

struct FakeRun {
  ScratchTree tree;
  TestPlatform os{tree};
  FakeRfc fake;
  kestrovan::RfcSession rfc{os, fake.Library()};

  /// Runs an operation that may stop the session; when it stopped for the library's error
  /// block, prints the block as a run would and returns 1; -1 when the session goes on.
  template <typename F> int Ending(F operation) {
    operation();
    if (!rfc.stopped()) {
      return -1;
    }
    const auto *abort = std::get_if<kestrovan::RfcAbort>(&*rfc.stopped());
    if (!abort) {
      return kestrovan::kExitError;
    }
    os.WriteStdout(kestrovan::RfcErrorBlock(
        {abort->operation, abort->key, abort->status, abort->message, abort->internal_status}));
    return kestrovan::kExitRfcError;
  }
};
