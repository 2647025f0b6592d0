// An RFC session on a scratch tree, bound to the scripted library: the common ground of the
// in-process tests of the connection layer and the checks.
#pragma once

#include "driver/endings.h"
#include "fake_rfc_library.h"
#include "output/result_document.h"
#include "session/rfc_session.h"
#include "test_platform.h"

struct FakeRun {
  ScratchTree tree;
  TestPlatform os{tree};
  FakeRfc fake;
  kestrovan::RfcSession rfc{os, fake.Library()};

  /// Runs an operation that may stop the session; when it stopped for the library's error
  /// block, writes the block through the run's own writer and returns its exit code (1); 2 for a
  /// stop at the time limit, -1 when the session goes on.
  template <typename F> int Ending(F operation) {
    operation();
    if (!rfc.stopped()) {
      return -1;
    }
    const auto *abort = std::get_if<kestrovan::RfcAbort>(&*rfc.stopped());
    if (!abort) {
      return kestrovan::kExitError;
    }
    return kestrovan::WriteEnding(os, *abort);
  }
};
