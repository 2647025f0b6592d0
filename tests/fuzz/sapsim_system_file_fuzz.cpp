// sapsim's system file: a file that parses describes a system within every documented bound;
// one that does not says which line, or which required key, is wrong.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "sapsim/function_modules.h"
#include "sapsim/rfcsi_layout.h"
#include "sapsim/system_file.h"

namespace {

void CheckFault(const sapsim::Fault &fault) {
  FUZZ_CHECK(fault.kind != sapsim::Fault::Kind::Exception ||
             (!fault.name.empty() && fault.name.size() <= 30));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string content(reinterpret_cast<const char *>(data), size);
  sapsim::SystemDescription system;
  std::string problem;
  if (!sapsim::ParseSystemFile(content, system, problem)) {
    FUZZ_CHECK(problem.rfind("line ", 0) == 0 || problem.rfind("no ", 0) == 0);
    return 0;
  }
  FUZZ_CHECK(problem.empty());
  FUZZ_CHECK(!system.client.empty() && !system.user.empty() && !system.password.empty());
  FUZZ_CHECK(system.missing_index <= sapsim::kMaxIndexLines);
  FUZZ_CHECK(system.index_not_defined <= sapsim::kMaxIndexLines);
  FUZZ_CHECK(system.current_resources >= 0 && system.maximal_resources >= 0 &&
             system.recommended_delay >= 0);
  FUZZ_CHECK(system.logon_delay.count() >= 0 &&
             system.logon_delay.count() <= sapsim::kMaxDelayMilliseconds);
  CheckFault(system.logon_fault);
  FUZZ_CHECK(system.logon_fault.phase == sapsim::Fault::Phase::Reply);
  for (const auto &[function, behaviour] : system.functions) {
    FUZZ_CHECK(sapsim::IsKnownFunction(function));
    FUZZ_CHECK(behaviour.delay.count() >= 0 &&
               behaviour.delay.count() <= sapsim::kMaxDelayMilliseconds);
    CheckFault(behaviour.fault);
  }
  for (const auto &[name, value] : system.rfcsi) {
    const sapsim::RfcsiField *field = sapsim::FindRfcsiField(name);
    FUZZ_CHECK(field != nullptr && value.size() <= field->length);
  }
  FUZZ_CHECK(sapsim::RfcsiRecord(system).size() == sapsim::kRfcsiLength);
  return 0;
}
