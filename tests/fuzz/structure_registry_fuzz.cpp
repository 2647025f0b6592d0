// RfcInstallStructure's descriptions: a layout installed has named elements of known types with
// the lengths their types fix, lying within its length and the record limit; installing it again
// hands out the same handle, and a refused description says why.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "rfcfiles/structure_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string name = provider.ConsumeRandomLengthString(80);
  const std::size_t count = provider.ConsumeIntegralInRange<std::size_t>(0, 40);
  std::vector<std::string> names;
  std::vector<RFC_TYPE_ELEMENT> elements;
  for (std::size_t i = 0; i < count; ++i) {
    names.push_back(provider.ConsumeRandomLengthString(80));
  }
  for (std::size_t i = 0; i < count; ++i) {
    RFC_TYPE_ELEMENT element{};
    element.name = names[i].data();
    element.type = provider.ConsumeIntegralInRange<unsigned>(0, 12);
    element.length = provider.ConsumeIntegralInRange<unsigned>(0, 70000);
    element.decimals = 0;
    element.offset =
        provider.ConsumeBool() ? 0 : provider.ConsumeIntegralInRange<unsigned>(0, 70000);
    elements.push_back(element);
  }
  rfcfiles::StructureRegistry registry;
  RFC_TYPEHANDLE handle = 0;
  std::string problem;
  const bool installed = registry.Install(name.c_str(), elements.data(),
                                          static_cast<unsigned>(count), handle, problem);
  if (!installed) {
    FUZZ_CHECK(!problem.empty());
    FUZZ_CHECK(registry.Find(rfcfiles::kFirstTypeHandle) == nullptr);
    return 0;
  }
  const rfcfiles::StructureLayout *layout = registry.Find(handle);
  FUZZ_CHECK(handle >= rfcfiles::kFirstTypeHandle && layout != nullptr);
  FUZZ_CHECK(layout->elements.size() == count && layout->length <= rfcfiles::kMaxRecordLength);
  for (const rfcfiles::StructureElement &element : layout->elements) {
    FUZZ_CHECK(!element.name.empty() && element.length > 0);
    FUZZ_CHECK(element.offset + element.length <= layout->length);
    const unsigned fixed = rfcfiles::FixedLength(element.type);
    FUZZ_CHECK(fixed == 0 || element.length == fixed);
  }
  RFC_TYPEHANDLE again = 0;
  FUZZ_CHECK(registry.Install(name.c_str(), elements.data(), static_cast<unsigned>(count), again,
                              problem));
  FUZZ_CHECK(again == handle);
  return 0;
}
