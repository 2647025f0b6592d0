// Which programs the end-to-end suite runs: the Linux builds, or stand-ins named in the
// environment (the Windows programs under Wine, through a wrapper script).
#pragma once

#include <cstdlib>
#include <string>

inline std::string ProgramFromEnvironment(const char *variable, const char *built) {
  const char *named = std::getenv(variable);
  return named && *named ? named : built;
}

inline std::string SensorProgram() {
  return ProgramFromEnvironment("KESTROVAN_TEST_SENSOR", KESTROVAN_BIN);
}

inline std::string ProfileWriterProgram() {
  return ProgramFromEnvironment("KESTROVAN_TEST_PROFILE_WRITER", KESTROVAN_PROFILE_BIN);
}

/// True when the suite runs against the Windows programs, where files have no POSIX modes.
inline bool TestingWindowsPrograms() {
  return std::getenv("KESTROVAN_TEST_PROFILE_WRITER") != nullptr;
}

/// True when the sensor under test reaches the systems through the NetWeaver RFC binding (its
/// own trace blocks then stand in Dev_Rfc.Trc).
inline bool TestingNwRfcBinding() {
  const char *binding = std::getenv("KESTROVAN_TEST_RFC_BINDING");
  return binding != nullptr && std::string(binding) == "nwrfc";
}
