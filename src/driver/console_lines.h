// Console progress lines of the runs, and the database check they share.
#pragma once

#include <string>
#include <string_view>

#include "driver/startup.h"
#include "state/run_state.h"

inline constexpr std::string_view kDatabaseMismatch = "Error 1018: DataBase mismatch !";

/// The database system must begin with "ORA" (letter case significant).
bool IsOracle(const std::string &database_system);

/// "* time entry, host, destination, sysnr, client": the system a run is working on.
std::string SystemLine(const RunState &state, const std::string &time, const std::string &entry);

/// The option text as the "State=Executing" line shows it: cut before the first "#" and the
/// first "@"; "(No Parameters)" when nothing is left.
std::string ParameterDisplayText(const std::string &parameters);

/// "\n* time SAP Kestrovan now processed...\n", with the time taken anew.
std::string EndLine(RunState &state);
