// RFC_SYSTEM_INFO: what the system says about itself.
#include "checks/system_info.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "checks/structures.h"

namespace {

/// A fixed-width text field as a C program sees it: up to the first zero byte.
std::string FieldText(const char *field, std::size_t width) {
  return std::string(field, strnlen(field, width));
}

} // namespace

RFC_RC ReadSystemInfo(RunState &state, RFC_HANDLE handle) {
  std::int32_t current_resources = 0, maximal_resources = 0, recommended_delay = 0;
  char dialog_user_type[1] = {' '};
  char login_complete[1] = {' '};
  std::array<char, kRfcsiLength> rfcsi;
  rfcsi.fill(' ');

  RFC_PARAMETER exporting[] = {RFC_PARAMETER{}};
  RFC_TABLE tables[] = {RFC_TABLE{}};
  RFC_PARAMETER importing[] = {
      Parameter("CURRENT_RESOURCES", TYPINT, 4, &current_resources),
      Parameter("DIALOG_USER_TYPE", TYPC, 1, dialog_user_type),
      Parameter("MAXIMAL_RESOURCES", TYPINT, 4, &maximal_resources),
      Parameter("RECOMMENDED_DELAY", TYPINT, 4, &recommended_delay),
      Parameter("RFCSI_EXPORT", 0, kRfcsiLength, rfcsi.data()),
      Parameter("RFC_LOGIN_COMPLETE", TYPC, 1, login_complete),
      RFC_PARAMETER{},
  };
  const StructureDescription description = RfcsiDescription();
  std::string exception;
  const RFC_RC code = RemoteCallStep(state, handle, "RFC_SYSTEM_INFO",
                                     {{"RFCSI",
                                       description.elements,
                                       description.element_count,
                                       &state.StructureHandles.rfcsi,
                                       {&importing[4].type}}},
                                     exporting, tables, importing, &exception);

  if (code == RFC_OK) {
    state.RunStatus = "OK";
    state.DisplayHost = FieldText(rfcsi.data() + kRfcHostOffset, kRfcHostLength);
    state.DatabaseSystem = FieldText(rfcsi.data() + kRfcDbSysOffset, kRfcDbSysLength);
  } else {
    state.ResultDocument += CheckFailureText(code, exception);
  }
  return code;
}
