// Where the RFC library's thread runs: on the core of the thread that hands it its calls.
#pragma once

namespace kestrovan {

/// The core the calling thread runs on now; -1 where the system cannot tell.
int CurrentCore();

/// Keeps the calling thread on `core` from now on; false where the system cannot.
///
/// The run's thread keeps to its core once it hands over its first call, and the library's
/// thread follows it there: exactly one of the two works at a time, so they lose nothing by
/// sharing a core, and each hand-off between them is then a wake-up on the same core. Across
/// cores a virtual machine's wake-up took longer than the library call it handed over (a walk of
/// 1,000 systems against one simulated system: about 2 ms a system instead of 0.7).
bool KeepThisThreadOn(int core);

} // namespace kestrovan
