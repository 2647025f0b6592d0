// The RFC library's thread placed beside the run's thread, on Linux and Windows.
#include "platform/thread_placement.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>
#endif

namespace kestrovan {

int CurrentCore() {
#if defined(_WIN32)
  return static_cast<int>(GetCurrentProcessorNumber());
#elif defined(__linux__)
  return sched_getcpu();
#else
  return -1;
#endif
}

bool KeepThisThreadOn(int core) {
  if (core < 0) {
    return false;
  }
#if defined(_WIN32)
  // The mask covers the processors of the thread's group, whose numbers CurrentCore gives.
  if (core >= static_cast<int>(sizeof(DWORD_PTR) * 8)) {
    return false;
  }
  return SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR{1} << core) != 0;
#elif defined(__linux__)
  if (core >= CPU_SETSIZE) {
    return false;
  }
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(core, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0;
#else
  return false;
#endif
}

} // namespace kestrovan
