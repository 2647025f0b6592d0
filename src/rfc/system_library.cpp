// Finding the RFC library: a DLL or shared object loaded at run time and bound by its plain export
// names, or the bundled stand-in. A library that cannot be used is reported, never replaced by
// the stand-in, which cannot reach a real SAP system.
#include "rfc/system_library.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <type_traits>
#include <vector>

#include "rfc/library_image.h"
#include "rfc/nwrfc_binding.h"
#include "rfcapi/nwrfc_api.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrovan {

namespace {

constexpr int kProgramBits = static_cast<int>(sizeof(void *) * 8);
/// SAP's libraries are a few MiB; a file beyond this is read only this far for its headers.
constexpr std::size_t kMaxImageRead = std::size_t{128} << 20;

/// Up to limit bytes of a regular file, read in pieces; empty when it cannot be opened.
std::string ReadHead(const std::string &path, std::size_t limit) {
  std::string bytes;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return bytes;
  }
  std::vector<char> piece(65536);
  while (bytes.size() < limit) {
    const std::size_t got =
        std::fread(piece.data(), 1, std::min(piece.size(), limit - bytes.size()), file);
    if (got == 0) {
      break;
    }
    bytes.append(piece.data(), got);
  }
  std::fclose(file);
  return bytes;
}

std::vector<std::string> SplitList(std::string_view list, char separator) {
  std::vector<std::string> items;
  while (!list.empty()) {
    const std::size_t end = list.find(separator);
    std::string item(list.substr(0, end));
    if (item.size() >= 2 && item.front() == '"' && item.back() == '"') {
      item = item.substr(1, item.size() - 2);
    }
    if (!item.empty()) {
      items.push_back(std::move(item));
    }
    if (end == std::string_view::npos) {
      break;
    }
    list.remove_prefix(end + 1);
  }
  return items;
}

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

constexpr IcuNaming kIcuNaming = IcuNaming::Windows;
constexpr const char *kIcuPlaces = "beside it nor on PATH";

std::string EnvironmentValue(const char *name) {
  const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) {
    return {};
  }
  std::string value(size, '\0');
  const DWORD length = GetEnvironmentVariableA(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

bool EnvironmentHas(const char *name) {
  return GetEnvironmentVariableA(name, nullptr, 0) != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

std::string Join(std::string folder, std::string_view name) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') {
    folder += '\\';
  }
  return folder + std::string(name);
}

std::string FolderOf(const std::string &path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ModuleFolder(Module module) {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return FolderOf(std::string(path, length < MAX_PATH ? length : MAX_PATH));
}

/// Names of the files in a folder that start with prefix.
std::vector<std::string> FolderFiles(const std::string &folder, std::string_view prefix) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(Join(folder, std::string(prefix) + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      names.emplace_back(found.cFileName);
    }
  } while (names.size() < 4096 && FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

/// Where LoadLibrary looks for a plain name, in its order: the program's folder, the system
/// folders, the working directory, then PATH (which the program may have extended).
std::vector<std::string> SearchFolders() {
  std::vector<std::string> folders{ProgramFolder()};
  char buffer[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryA(buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    folders.emplace_back(buffer, length);
  }
  length = GetWindowsDirectoryA(buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    folders.emplace_back(buffer, length);
  }
  length = GetCurrentDirectoryA(MAX_PATH, buffer);
  if (length > 0 && length < MAX_PATH) {
    folders.emplace_back(buffer, length);
  }
  for (std::string &entry : SplitList(EnvironmentValue("PATH"), ';')) {
    folders.push_back(std::move(entry));
  }
  return folders;
}

/// The first place of the search that holds the file, or empty.
std::string FindOnSearch(const std::vector<std::string> &folders, std::string_view name) {
  for (const std::string &folder : folders) {
    if (IsFile(Join(folder, name))) {
      return Join(folder, name);
    }
  }
  return {};
}

/// Names Windows resolves without a file of that name (API sets).
bool IsApiSet(std::string name) {
  for (char &c : name) {
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return name.rfind("api-ms-", 0) == 0 || name.rfind("ext-ms-", 0) == 0;
}

/// The first DLL below path (its imports, theirs, ...) that the search does not find, with the
/// library that imports it; empty when every one is found.
std::pair<std::string, std::string> MissingImport(const std::vector<std::string> &folders,
                                                  const std::string &system,
                                                  const std::string &path, int depth,
                                                  std::set<std::string> &visited) {
  if (depth > 4 || !visited.insert(path).second) {
    return {};
  }
  const LibraryImage image = ReadLibraryImage(ReadHead(path, kMaxImageRead));
  for (const std::string &name : image.needed) {
    if (IsApiSet(name)) {
      continue;
    }
    const std::string found = FindOnSearch(folders, name);
    if (found.empty()) {
      return {name, path};
    }
    // Windows' own DLLs import only each other; SAP's and the runtimes are worth following.
    if (found.rfind(system, 0) != 0) {
      auto deeper = MissingImport(folders, system, found, depth + 1, visited);
      if (!deeper.first.empty()) {
        return deeper;
      }
    }
  }
  return {};
}

/// "Windows error N", and when the file is there, what is wrong with it: the other bitness, or a
/// DLL it imports that the search does not find.
std::string LoadFailure(std::string_view file, DWORD error) {
  std::string text = "Windows error " + std::to_string(error);
  const std::vector<std::string> folders = SearchFolders();
  const std::string path = FindOnSearch(folders, file);
  if (path.empty()) {
    return text;
  }
  const LibraryImage image = ReadLibraryImage(ReadHead(path, kMaxImageRead));
  if (const std::string mismatch = BitnessMismatch(image, kProgramBits); !mismatch.empty()) {
    return text + ": " + path + " is " + mismatch;
  }
  std::set<std::string> visited;
  const auto [missing, importer] =
      MissingImport(folders, folders.size() > 1 ? folders[1] : std::string("?"), path, 0, visited);
  if (missing.empty()) {
    return text;
  }
  return text + ": " + path + " needs " + missing +
         (importer == path ? std::string() : " (imported by " + importer + ")") +
         ", which is neither in the program's folder, the system folders nor on PATH";
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

constexpr IcuNaming kIcuNaming = IcuNaming::Linux;
constexpr const char *kIcuPlaces = "beside it nor on the library path";

bool EnvironmentHas(const char *name) { return std::getenv(name) != nullptr; }

std::string Join(std::string folder, std::string_view name) {
  if (!folder.empty() && folder.back() != '/') {
    folder += '/';
  }
  return folder + std::string(name);
}

std::string ModuleFolder(Module module) {
  char origin[PATH_MAX + 1] = {};
  return dlinfo(module, RTLD_DI_ORIGIN, origin) == 0 ? std::string(origin) : std::string();
}

std::vector<std::string> FolderFiles(const std::string &folder, std::string_view prefix) {
  std::vector<std::string> names;
  DIR *directory = opendir(folder.empty() ? "." : folder.c_str());
  if (directory == nullptr) {
    return names;
  }
  while (const dirent *entry = readdir(directory)) {
    if (std::string_view(entry->d_name).substr(0, prefix.size()) == prefix) {
      names.emplace_back(entry->d_name);
    }
    if (names.size() >= 4096) {
      break;
    }
  }
  closedir(directory);
  return names;
}

/// The folders of LD_LIBRARY_PATH, in order.
std::vector<std::string> LibraryPath() {
  const char *path = std::getenv("LD_LIBRARY_PATH");
  return SplitList(path ? path : "", ':');
}

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
    if (!complete) {
      return;
    }
    if (required) {
      complete = Resolve(module, kNwRfcLibraryFile, name, &member, problem);
    } else if (void *address = Symbol(module, name)) {
      member = reinterpret_cast<std::remove_reference_t<decltype(member)>>(address);
    }
  });
  return complete ? kestrovan::BindNwRfcLibrary(functions) : nullptr;
}

/// Our own stand-in says so in its version text. RfcGetVersion is safe to call before any open:
/// the binding calls it at binding time anyway, and SAP's library loads ICU only at the first
/// open (measured with 7.11). SAP's text is a release number and never names this program.
bool IsOwnStandin(Module module) {
  const auto version = reinterpret_cast<nwrfc::GetVersionFn>(Symbol(module, "RfcGetVersion"));
  if (version == nullptr) {
    return false;
  }
  unsigned major = 0, minor = 0, patch = 0;
  const nwrfc::Unit *text = version(&major, &minor, &patch);
  if (text == nullptr) {
    return false;
  }
  std::u16string units;
  for (std::size_t i = 0; i < 256 && text[i] != 0; ++i) {
    units += text[i];
  }
  return units.find(u"Kestrovan stand-in") != std::u16string::npos;
}

/// SAP's library loads its three ICU files at the first open, and when one cannot be loaded it
/// ends the process without a word on standard output. So they are looked for now, where it will
/// look: beside it and on PATH (Windows: with the rest of the normal search) or the library path
/// (Linux: with its RUNPATH /usr/sap/lib and the system's search). Empty when they are there.
std::string IcuProblem(Module module) {
  if (EnvironmentHas("NLSUI_7BIT_FALLBACK") || IsOwnStandin(module)) {
    return {};
  }
  std::vector<std::string> folders{ModuleFolder(module)};
#ifdef _WIN32
  for (std::string &folder : SearchFolders()) {
    folders.push_back(std::move(folder));
  }
  const std::string_view prefix = "icu";
#else
  for (std::string &folder : LibraryPath()) {
    folders.push_back(std::move(folder));
  }
  folders.emplace_back("/usr/sap/lib");
  const std::string_view prefix = "libicu";
#endif
  std::vector<std::string> present;
  for (const std::string &folder : folders) {
    for (std::string &name : FolderFiles(folder, prefix)) {
      present.push_back(std::move(name));
    }
  }
  std::string missing = MissingIcuFile(kIcuNaming, present);
#ifndef _WIN32
  // The system's own search (ld.so.cache, /usr/lib) finds what no listed folder holds.
  for (int tries = 0; tries < 3 && !missing.empty() && !IcuVersionOf(kIcuNaming, missing).empty();
       ++tries) {
    void *found = dlopen(missing.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (found == nullptr) {
      break;
    }
    dlclose(found);
    present.push_back(missing);
    missing = MissingIcuFile(kIcuNaming, present);
  }
#endif
  if (missing.empty()) {
    return {};
  }
  return "RFC library " + std::string(kNwRfcLibraryFile) + " needs " + missing +
         ", which is neither " + kIcuPlaces +
         "; install the NetWeaver RFC SDK's whole lib folder...";
}

/// Binds SAP's library once its ICU files are known to be there; null with the reason.
const RfcLibrary *CheckAndBindNwRfc(Module module, std::string *problem) {
  *problem = IcuProblem(module);
  return problem->empty() ? BindNwRfc(module, problem) : nullptr;
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
    const DWORD error = GetLastError();
    classic_failure = std::string(kRfcLibraryFile) + " cannot be loaded (";
    classic_failure += LoadFailure(kRfcLibraryFile, error);
    classic_failure += ")";
  }
#endif
  PutProgramFolderOnPath(folder);
  HMODULE nw = LoadLibraryA(std::string(kNwRfcLibraryFile).c_str());
  if (!nw) {
    const DWORD error = GetLastError();
    // Appended piece by piece: GCC 12 takes "(" + text for an overlapping copy (-Wrestrict).
    std::string failure = "(";
    failure += LoadFailure(kNwRfcLibraryFile, error);
    failure += ")";
    *problem = classic_failure.empty() ? "RFC library " + std::string(kNwRfcLibraryFile) +
                                             " cannot be loaded " + failure + "..."
                                       : "RFC library " + classic_failure + ", nor " +
                                             std::string(kNwRfcLibraryFile) + " " + failure + "...";
    return nullptr;
  }
  const RfcLibrary *library = CheckAndBindNwRfc(nw, problem);
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

/// libsapnwrfc.so in a folder of LD_LIBRARY_PATH, or empty.
std::string FindOnLibraryPath() {
  for (const std::string &folder : LibraryPath()) {
    if (IsFile(Join(folder, kNwRfcLibraryFile))) {
      return Join(folder, kNwRfcLibraryFile);
    }
  }
  return {};
}

/// dlopen's reason, or when the file was found, what is wrong with it: the other class, or a
/// library it needs that the system's search does not find.
std::string LoadFailure(const std::string &path, const std::string &reason) {
  if (path.empty()) {
    return reason;
  }
  const LibraryImage image = ReadLibraryImage(ReadHead(path, kMaxImageRead));
  if (const std::string mismatch = BitnessMismatch(image, kProgramBits); !mismatch.empty()) {
    return path + " is " + mismatch;
  }
  // dlerror names what could not be opened first: "libsapucum.so: cannot open shared object ...".
  const std::size_t colon = reason.find(": cannot open shared object file");
  const std::string failed = colon == std::string::npos ? std::string() : reason.substr(0, colon);
  for (const std::string &needed : image.needed) {
    if (needed == failed) {
      return path + " needs " + needed +
             ", which the system's search (LD_LIBRARY_PATH, ldconfig) does not find";
    }
  }
  return reason;
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
    // The system's search passes over a file of the other class as if it were not there.
    const std::string path = is_beside ? beside : FindOnLibraryPath();
    if (path.empty() && !IsFile(folder + std::string(kNwRfcSwitchFile)) &&
        NotFoundBySearch(reason)) {
      return &LinkedRfcLibrary();
    }
    *problem = "RFC library " + std::string(kNwRfcLibraryFile) + " cannot be loaded (" +
               LoadFailure(path, reason) + ")...";
    return nullptr;
  }
  const RfcLibrary *library = CheckAndBindNwRfc(nw, problem);
  if (!library) {
    dlclose(nw);
  }
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
