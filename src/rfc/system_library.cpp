// Finding the RFC library: a DLL or shared object loaded at run time and bound by its plain export
// names, or the bundled stand-in. A library that cannot be used is reported, never replaced by
// the stand-in, which cannot reach a real SAP system.
#include "rfc/system_library.h"

#include <type_traits>

#include "rfc/nwrfc_binding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrovan {

namespace {

#ifdef _WIN32

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

using Module = HMODULE;

void *Symbol(Module module, const char *name) {
  return reinterpret_cast<void *>(GetProcAddress(module, name));
}

#else

std::string ProgramFolder() {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  const std::string folder(path, length > 0 ? static_cast<std::size_t>(length) : 0);
  const std::size_t slash = folder.find_last_of('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

bool IsFile(const std::string &path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

using Module = void *;

void *Symbol(Module module, const char *name) { return dlsym(module, name); }

#endif

/// Looks up one operation; false with the reason when the library lacks it.
template <typename Function>
bool Resolve(Module module, std::string_view file, const char *name, Function *target,
             std::string *problem) {
  void *address = Symbol(module, name);
  if (!address) {
    *problem = "RFC library " + std::string(file) + " lacks the operation " + name + "...";
    return false;
  }
  *target = reinterpret_cast<Function>(address);
  return true;
}

/// Binds the NetWeaver library's operations; null with what it lacks.
const RfcLibrary *BindNwRfc(Module module, std::string *problem) {
  kestrovan::NwRfcFunctions functions;
  bool complete = true;
  kestrovan::ForEachNwRfcExport(functions, [&](const char *name, bool required, auto &member) {
    if (!complete) return;
    if (required) {
      complete = Resolve(module, kNwRfcLibraryFile, name, &member, problem);
    } else if (void *address = Symbol(module, name)) {
      member = reinterpret_cast<std::remove_reference_t<decltype(member)>>(address);
    }
  });
  return complete ? kestrovan::BindNwRfcLibrary(functions) : nullptr;
}

#ifdef _WIN32

/// SAP's unicode layer loads its ICU files by walking PATH: when the library sits beside the
/// program, that folder goes first on the process's PATH so the files beside it are found.
void PutProgramFolderOnPath(const std::string &folder) {
  if (!IsFile(folder + std::string(kNwRfcLibraryFile))) return;
  const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  std::string path(size, '\0');
  const DWORD length = size ? GetEnvironmentVariableA("PATH", path.data(), size) : 0;
  path.resize(length < size ? length : 0);
  std::string own = folder;
  if (own.size() > 1 && (own.back() == '\\' || own.back() == '/')) own.pop_back();
  SetEnvironmentVariableA("PATH", (own + (path.empty() ? "" : ";") + path).c_str());
}

#if !defined(_WIN64)
const RfcLibrary *BindClassic(HMODULE module, std::string *problem) {
  static RfcLibrary loaded{};
  RfcLibrary table{};
  const std::string_view file = kRfcLibraryFile;
  const bool complete =
      Resolve(module, file, "RfcEnvironment", &table.Environment, problem) &&
      Resolve(module, file, "RfcOpen", &table.Open, problem) &&
      Resolve(module, file, "RfcOpenEx", &table.OpenEx, problem) &&
      Resolve(module, file, "RfcInstallStructure", &table.InstallStructure, problem) &&
      Resolve(module, file, "RfcCall", &table.Call, problem) &&
      Resolve(module, file, "RfcReceive", &table.Receive, problem) &&
      Resolve(module, file, "ItCreate", &table.ItCreate, problem) &&
      Resolve(module, file, "ItFill", &table.ItFill, problem) &&
      Resolve(module, file, "ItGetLine", &table.ItGetLine, problem) &&
      Resolve(module, file, "ItDelete", &table.ItDelete, problem) &&
      Resolve(module, file, "RfcLastError", &table.LastError, problem) &&
      Resolve(module, file, "RfcClose", &table.Close, problem);
  if (!complete) return nullptr;
  loaded = table;
  return &loaded;
}
#endif

const RfcLibrary *LoadLibraries(const std::string &folder, std::string *problem) {
  std::string classic_failure;
#if !defined(_WIN64)
  // The 32-bit program keeps to the classic library while it can be loaded at all.
  if (!IsFile(folder + std::string(kNwRfcSwitchFile))) {
    if (HMODULE classic = LoadLibraryA(std::string(kRfcLibraryFile).c_str())) {
      const RfcLibrary *library = BindClassic(classic, problem);
      if (!library) FreeLibrary(classic);
      return library;
    }
    classic_failure = std::string(kRfcLibraryFile) + " cannot be loaded (Windows error " +
                      std::to_string(GetLastError()) + ")";
  }
#endif
  PutProgramFolderOnPath(folder);
  HMODULE nw = LoadLibraryA(std::string(kNwRfcLibraryFile).c_str());
  if (!nw) {
    const std::string failure = "(Windows error " + std::to_string(GetLastError()) + ")";
    *problem = classic_failure.empty() ? "RFC library " + std::string(kNwRfcLibraryFile) +
                                             " cannot be loaded " + failure + "..."
                                       : "RFC library " + classic_failure + ", nor " +
                                             std::string(kNwRfcLibraryFile) + " " + failure + "...";
    return nullptr;
  }
  const RfcLibrary *library = BindNwRfc(nw, problem);
  if (!library) FreeLibrary(nw);
  return library;
}

#else

/// True when the system's search found no file of the name at all (as opposed to a file that is
/// there but cannot be loaded, which dlerror reports under the name of what failed).
bool NotFoundBySearch(std::string_view reason) {
  const std::string not_found = std::string(kNwRfcLibraryFile) + ": cannot open shared object file";
  return reason.substr(0, not_found.size()) == not_found;
}

const RfcLibrary *LoadLibraries(const std::string &folder, std::string *problem) {
  // Beside the program first, as Windows searches, then the system's own search. SAP's library
  // is used wherever it is found; only when there is none at all does the program keep to the
  // linked stand-in, unless the switch file asks for SAP's library.
  const std::string beside = folder + std::string(kNwRfcLibraryFile);
  const bool is_beside = IsFile(beside);
  void *nw = dlopen(is_beside ? beside.c_str() : std::string(kNwRfcLibraryFile).c_str(),
                    RTLD_NOW | RTLD_LOCAL);
  if (!nw) {
    const char *error = dlerror();
    const std::string reason = error ? error : "unknown reason";
    if (!is_beside && !IsFile(folder + std::string(kNwRfcSwitchFile)) && NotFoundBySearch(reason)) {
      return &LinkedRfcLibrary();
    }
    *problem =
        "RFC library " + std::string(kNwRfcLibraryFile) + " cannot be loaded (" + reason + ")...";
    return nullptr;
  }
  const RfcLibrary *library = BindNwRfc(nw, problem);
  if (!library) dlclose(nw);
  return library;
}

#endif

} // namespace

const RfcLibrary *SystemRfcLibrary(std::string *problem) {
  const std::string folder = ProgramFolder();
  if (IsFile(folder + std::string(kStandinSwitchFile))) {
    return &LinkedRfcLibrary();
  }
  static const RfcLibrary *bound = nullptr;
  if (!bound) {
    bound = LoadLibraries(folder, problem);
  }
  return bound;
}

} // namespace kestrovan
