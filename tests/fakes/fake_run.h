// An RFC session on a scratch tree, bound to the scripted library: the common ground of the
// in-process tests of the connection layer and the checks.
#pragma once

#include "fake_rfc_library.h"
#include "output/result_document.h"
#include "rfc/rfc_session.h"
#include "test_platform.h"

struct FakeRun {
  ScratchTree tree;
  TestPlatform os{tree};
  FakeRfc fake;
  kestrovan::RfcSession rfc{os, fake.Library()};

  /// Runs an operation that may end the run; returns the exit code, or -1 when it returned.
  template <typename F> int Ending(F operation) {
    try {
      operation();
    } catch (const kestrovan::RunEnded &ended) {
      return ended.exit_code;
    }
    return -1;
  }
};
