// Finding the RFC library: on Windows SAP's DLL, loaded at run time and bound by its plain export
// names, or the bundled stand-in when a switch file beside the program asks for it.
#include "rfc/system_library.h"

#ifdef _WIN32
#include <windows.h>

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length < MAX_PATH ? length : MAX_PATH);
  const std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

bool IsFile(const std::string &path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/// Looks up one operation; false with the reason when the library lacks it.
template <typename Function>
bool Resolve(HMODULE module, const char *name, Function *target, std::string *problem) {
  FARPROC address = GetProcAddress(module, name);
  if (!address) {
    *problem =
        "RFC library " + std::string(kRfcLibraryFile) + " lacks the operation " + name + "...";
    return false;
  }
  *target = reinterpret_cast<Function>(reinterpret_cast<void *>(address));
  return true;
}

} // namespace

const RfcLibrary *SystemRfcLibrary(std::string *problem) {
  if (IsFile(ProgramFolder() + std::string(kStandinSwitchFile))) return &LinkedRfcLibrary();

  static RfcLibrary loaded{};
  static bool bound = false;
  if (bound) return &loaded;
  HMODULE module = LoadLibraryA(std::string(kRfcLibraryFile).c_str());
  if (!module) {
    *problem = "RFC library " + std::string(kRfcLibraryFile) + " cannot be loaded (Windows error " +
               std::to_string(GetLastError()) + ")...";
    return nullptr;
  }
  RfcLibrary table{};
  const bool complete = Resolve(module, "RfcEnvironment", &table.Environment, problem) &&
                        Resolve(module, "RfcOpen", &table.Open, problem) &&
                        Resolve(module, "RfcOpenEx", &table.OpenEx, problem) &&
                        Resolve(module, "RfcInstallStructure", &table.InstallStructure, problem) &&
                        Resolve(module, "RfcCall", &table.Call, problem) &&
                        Resolve(module, "RfcReceive", &table.Receive, problem) &&
                        Resolve(module, "ItCreate", &table.ItCreate, problem) &&
                        Resolve(module, "ItFill", &table.ItFill, problem) &&
                        Resolve(module, "ItGetLine", &table.ItGetLine, problem) &&
                        Resolve(module, "ItDelete", &table.ItDelete, problem) &&
                        Resolve(module, "RfcLastError", &table.LastError, problem) &&
                        Resolve(module, "RfcClose", &table.Close, problem);
  if (!complete) {
    FreeLibrary(module);
    return nullptr;
  }
  loaded = table;
  bound = true;
  return &loaded;
}

#else

const RfcLibrary *SystemRfcLibrary(std::string *) { return &LinkedRfcLibrary(); }

#endif
