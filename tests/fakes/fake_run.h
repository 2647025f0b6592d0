// A run state on a scratch tree, bound to the scripted RFC library: the common ground of the
// in-process tests of the connection layer and the checks.
#pragma once

#include "fake_rfc_library.h"
#include "state/run_state.h"
#include "test_platform.h"

struct FakeRun {
  ScratchTree tree;
  TestPlatform os{tree};
  FakeRfc fake;
  RunState state{os};

  FakeRun() { state.rfc = fake.Library(); }
};
