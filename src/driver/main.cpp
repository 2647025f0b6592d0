// Entry point of the sensor: the only place where the process ends.
#include <cstdio>

#include "driver/sensor.h"
#include "rfc/system_library.h"

int main(int argc, char **argv) {
  std::vector<std::string> arguments(argv, argv + argc);
  auto os = MakeSystemPlatform(SystemDriveRoot());
  const int exit_code = kestrovan::RunSensor(*os, SystemRfcLibrary, std::move(arguments));
  std::fflush(stdout);
  return exit_code;
}
