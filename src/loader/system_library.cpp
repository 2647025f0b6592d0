// Finding the RFC library: a DLL or shared object loaded at run time and bound by its plain export
// names, or the bundled stand-in. A library that cannot be used is reported, never replaced by
// the stand-in, which cannot reach a real SAP system.
#include "loader/system_library.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <type_traits>
#include <vector>

#include "loader/library_image.h"
#include "nwbinding/nwrfc_binding.h"
#include "rfcapi/nwrfc_api.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrovan {

namespace {

constexpr int kProgramBits = static_cast<int>(sizeof(void *) * 8);
/// SAP's libraries are a few MiB; the ICU names are looked for in this much of each file.
constexpr std::uint64_t kMaxIcuScan = std::uint64_t{64} << 20;
/// The files are searched for ICU names in pieces of this size, each overlapping the one before
/// by more than the longest name in UTF-16.
constexpr std::size_t kIcuScanPiece = std::size_t{1} << 20;
constexpr std::size_t kIcuScanOverlap = 64;

/// The headers of a file, read only as far as they go; an Unknown image when it cannot be opened.
LibraryImage ReadImageFile(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return {};
  }
  file.seekg(0, std::ios::end);
  const std::streamoff end = file.tellg();
  if (end <= 0) {
    return {};
  }
  return ReadLibraryImage(static_cast<std::uint64_t>(end), [&](std::uint64_t at, std::size_t size) {
    std::string bytes(size, '\0');
    file.clear();
    file.seekg(static_cast<std::streamoff>(at));
    file.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(file ? size
                      : static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
  });
}

/// The ICU file names written in a file, in the order they can be loaded.
std::vector<std::string> IcuNamesInFile(const std::string &path, IcuNaming naming) {
  std::vector<std::string> names;
  std::ifstream file(path, std::ios::binary);
  std::string piece;
  std::uint64_t scanned = 0;
  std::vector<char> buffer(kIcuScanPiece);
  while (file && scanned < kMaxIcuScan) {
    file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto got = static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0));
    if (got == 0) {
      break;
    }
    scanned += got;
    piece.append(buffer.data(), got);
    for (std::string &name : IcuFileNamesIn(naming, piece)) {
      if (std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(std::move(name));
      }
    }
    piece.erase(0, piece.size() > kIcuScanOverlap ? piece.size() - kIcuScanOverlap : 0);
  }
  return IcuLoadOrder(naming, names);
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
constexpr const char *kLibraryUnicodeFile = "libsapucum.dll";
/// Where LoadLibrary looks for a plain name, in words.
constexpr const char *kSearchPlaces =
    "in the program's folder, the system folders, the working directory nor on PATH";

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

/// True when the variable is set at all, also to an empty value.
bool EnvironmentHas(const char *name) {
  SetLastError(ERROR_SUCCESS);
  char value[2] = {};
  return GetEnvironmentVariableA(name, value, sizeof value) != 0 ||
         GetLastError() != ERROR_ENVVAR_NOT_FOUND;
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

std::string ModulePath(Module module) {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

/// The file of a loaded module of this name, or empty when none is loaded.
std::string LoadedModulePath(const char *name) {
  const HMODULE module = GetModuleHandleA(name);
  return module ? ModulePath(module) : std::string();
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

/// True when one of the side-by-side assemblies of the Visual C++ runtimes (WinSxS) holds the
/// file: a library that names them in its manifest is given them from there, not by the search.
bool InSideBySideRuntime(std::string_view name) {
  char buffer[MAX_PATH + 1] = {};
  const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return false;
  }
  const std::string assemblies = Join(std::string(buffer, length), "WinSxS");
  bool found = false;
  for (const char *kind : {"*.crt_*", "*.mfc_*", "*.openmp_*"}) {
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA(Join(assemblies, kind).c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
      continue;
    }
    int seen = 0;
    do {
      found = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
              IsFile(Join(Join(assemblies, entry.cFileName), name));
    } while (!found && ++seen < 4096 && FindNextFileA(search, &entry));
    FindClose(search);
    if (found) {
      break;
    }
  }
  return found;
}

/// Names Windows resolves without a file of that name (API sets).
bool IsApiSet(std::string name) {
  for (char &c : name) {
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return name.rfind("api-ms-", 0) == 0 || name.rfind("ext-ms-", 0) == 0;
}

/// The first DLL below path (its imports, theirs, ...) that neither the search nor the runtimes'
/// side-by-side assemblies hold, with the library that imports it; empty when every one is found.
std::pair<std::string, std::string> MissingImport(const std::vector<std::string> &folders,
                                                  const std::string &system,
                                                  const std::string &path, int depth,
                                                  std::set<std::string> &visited) {
  if (depth > 4 || !visited.insert(path).second) {
    return {};
  }
  const LibraryImage image = ReadImageFile(path);
  for (const std::string &name : image.needed) {
    if (IsApiSet(name)) {
      continue;
    }
    const std::string found = FindOnSearch(folders, name);
    if (found.empty()) {
      if (InSideBySideRuntime(name)) {
        continue;
      }
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

/// True when LoadLibrary failed because no file of the name is on its search.
bool NotOnSearch(std::string_view file, DWORD error) {
  return error == ERROR_MOD_NOT_FOUND && FindOnSearch(SearchFolders(), file).empty();
}

/// "Windows error N", and what is wrong with the file: none of the name on the search; a file
/// that is empty, no library or of the other bitness; a DLL it imports that is nowhere to be
/// found. A missing import is named only for a failure to find a module: a library bound to a
/// runtime through its manifest fails for other reasons with its runtime where the search does
/// not look.
std::string LoadFailure(std::string_view file, DWORD error) {
  std::string text = "Windows error " + std::to_string(error);
  const std::vector<std::string> folders = SearchFolders();
  const std::string path = FindOnSearch(folders, file);
  if (path.empty()) {
    return error == ERROR_MOD_NOT_FOUND
               ? text + ": " + std::string(file) + " is neither " + kSearchPlaces
               : text;
  }
  const LibraryImage image = ReadImageFile(path);
  if (const std::string why = NotLoadableImage(image, kProgramBits); !why.empty()) {
    return text + ": " + path + " " + why;
  }
  if (error != ERROR_MOD_NOT_FOUND) {
    return text;
  }
  std::set<std::string> visited;
  const auto [missing, importer] =
      MissingImport(folders, folders.size() > 1 ? folders[1] : std::string("?"), path, 0, visited);
  if (missing.empty()) {
    return text;
  }
  return text + ": " + path + " needs " + missing +
         (importer == path ? std::string() : " (imported by " + importer + ")") +
         ", which is neither " + kSearchPlaces;
}

/// Loads one ICU file as SAP's library will: LoadLibrary by its plain name. Empty when it
/// loaded (it stays loaded, so the library's own load finds it); else why not.
std::string LoadIcuFile(const std::string &name) {
  if (LoadLibraryA(name.c_str()) != nullptr) {
    return {};
  }
  const DWORD error = GetLastError();
  if (NotOnSearch(name, error)) {
    return "which is neither " + std::string(kSearchPlaces);
  }
  return "which cannot be loaded (" + LoadFailure(name, error) + ")";
}

/// SAP's library writes to the process's standard error, which the monitor does not read: from
/// here on it goes to a file in the working directory (to the null device when that cannot be
/// opened). Done before the library is loaded: its runtime takes the handle when it starts.
/// Both the handle and this program's runtime are redirected, for a library that shares it.
void KeepLibraryStandardError() {
  HANDLE file = CreateFileA(std::string(kLibraryStandardErrorFile).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE && GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    file = INVALID_HANDLE_VALUE;
  }
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  SetStdHandle(STD_ERROR_HANDLE, file);
  HANDLE own = INVALID_HANDLE_VALUE;
  if (DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &own, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(own), _O_APPEND);
    if (descriptor >= 0) {
      _dup2(descriptor, 2);
      _close(descriptor);
    } else {
      CloseHandle(own);
    }
  }
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
constexpr const char *kLibraryUnicodeFile = "libsapucum.so";

/// True when the variable is set at all, also to an empty value.
bool EnvironmentHas(const char *name) { return std::getenv(name) != nullptr; }

std::string Join(std::string folder, std::string_view name) {
  if (!folder.empty() && folder.back() != '/') {
    folder += '/';
  }
  return folder + std::string(name);
}

std::string FolderOf(const std::string &path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ModulePath(Module module) {
  link_map *map = nullptr;
  return dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr
             ? std::string(map->l_name)
             : std::string();
}

/// The file of a loaded shared object of this name, or empty when none is loaded.
std::string LoadedModulePath(const char *name) {
  void *module = dlopen(name, RTLD_LAZY | RTLD_NOLOAD);
  if (module == nullptr) {
    return {};
  }
  std::string path = ModulePath(module);
  dlclose(module);
  return path;
}

/// The folders of LD_LIBRARY_PATH, in order.
std::vector<std::string> LibraryPath() {
  const char *path = std::getenv("LD_LIBRARY_PATH");
  return SplitList(path ? path : "", ':');
}

/// A folder of a run path with $ORIGIN (or ${ORIGIN}) made the folder of the file that has it.
std::string ExpandOrigin(std::string folder, const std::string &origin) {
  for (const std::string_view token : {"${ORIGIN}", "$ORIGIN"}) {
    for (std::size_t at = folder.find(token); at != std::string::npos;
         at = folder.find(token, at + origin.size())) {
      folder.replace(at, token.size(), origin);
    }
  }
  return folder;
}

/// dlopen's reason, or when the file was found, what is wrong with it: empty, no library, the
/// other class, or a library it needs that the system's search does not find.
std::string LoadFailure(const std::string &path, const std::string &reason) {
  if (path.empty()) {
    return reason;
  }
  const LibraryImage image = ReadImageFile(path);
  if (const std::string why = NotLoadableImage(image, kProgramBits); !why.empty()) {
    return path + " " + why;
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

/// Loads one ICU file as SAP's library will: from the folders of LD_LIBRARY_PATH and of its run
/// path, then by its plain name through the system's search. Empty when it loaded (it stays
/// loaded, so the library's own load finds it); else why not.
std::string LoadIcuFile(const std::string &name, const std::vector<std::string> &run_path) {
  std::string failed_path, failed_reason;
  std::vector<std::string> folders = LibraryPath();
  folders.insert(folders.end(), run_path.begin(), run_path.end());
  for (const std::string &folder : folders) {
    const std::string path = Join(folder, name);
    if (!IsFile(path)) {
      continue;
    }
    if (dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL) != nullptr) {
      return {};
    }
    if (failed_path.empty()) {
      const char *error = dlerror();
      failed_path = path;
      failed_reason = error ? error : "unknown reason";
    }
  }
  if (dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL) != nullptr) {
    return {};
  }
  const char *error = dlerror();
  const std::string reason = error ? error : "unknown reason";
  if (!failed_path.empty()) {
    return "which cannot be loaded (" + LoadFailure(failed_path, failed_reason) + ")";
  }
  if (reason.find(name + ": cannot open shared object file") != 0) {
    return "which cannot be loaded (" + reason + ")";
  }
  std::string places = "on LD_LIBRARY_PATH";
  for (const std::string &folder : run_path) {
    places += ", in " + folder;
  }
  return "which is neither " + places + " nor in the system's search (ldconfig)";
}

/// SAP's library writes to the process's standard error, which the monitor does not read: from
/// here on it goes to a file in the working directory (to the null device when no regular file
/// can be opened there). The C library writes standard error to descriptor 2 at every write, so
/// what the library writes once it is loaded lands there.
void KeepLibraryStandardError() {
  int file = open(std::string(kLibraryStandardErrorFile).c_str(),
                  O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
  struct stat status {};
  if (file >= 0 && (fstat(file, &status) != 0 || !S_ISREG(status.st_mode))) {
    close(file);
    file = -1;
  }
  if (file < 0) {
    file = open("/dev/null", O_WRONLY | O_CLOEXEC);
  }
  if (file >= 0) {
    dup2(file, 2);
    close(file);
  }
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

/// Looks up the NetWeaver library's operations; false with what it lacks.
bool ResolveNwRfc(Module module, nwbinding::NwRfcFunctions &functions, std::string *problem) {
  bool complete = true;
  nwbinding::ForEachNwRfcExport(functions, [&](const char *name, bool required, auto &member) {
    if (!complete) {
      return;
    }
    if (required) {
      complete = Resolve(module, kNwRfcLibraryFile, name, &member, problem);
    } else if (void *address = Symbol(module, name)) {
      member = reinterpret_cast<std::remove_reference_t<decltype(member)>>(address);
    }
  });
  return complete;
}

/// SAP's library loads its ICU files at the first open, and when one cannot be loaded it ends
/// the process without a word on standard output. Which files it loads is written in its own
/// files (the library and its unicode layer libsapucum); each is loaded now, by the same name and
/// through the same search, and kept loaded. Empty when all loaded or none is named, or when
/// NLSUI_7BIT_FALLBACK (set at all) lets the library go on without them.
std::string IcuProblem(Module module) {
  if (EnvironmentHas("NLSUI_7BIT_FALLBACK")) {
    return {};
  }
  const std::string own = ModulePath(module);
  std::vector<std::string> files{own};
  std::string unicode = LoadedModulePath(kLibraryUnicodeFile);
  if (unicode.empty() && IsFile(Join(FolderOf(own), kLibraryUnicodeFile))) {
    unicode = Join(FolderOf(own), kLibraryUnicodeFile);
  }
  if (!unicode.empty() && unicode != own) {
    files.push_back(unicode);
  }
  std::vector<std::string> names;
#ifndef _WIN32
  std::vector<std::string> run_path;
#endif
  for (const std::string &file : files) {
    for (std::string &name : IcuNamesInFile(file, kIcuNaming)) {
      if (std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(std::move(name));
      }
    }
#ifndef _WIN32
    for (const std::string &folder : ReadImageFile(file).run_path) {
      std::string origin = FolderOf(file);
      if (origin.size() > 1 && origin.back() == '/') {
        origin.pop_back();
      }
      run_path.push_back(ExpandOrigin(folder, origin.empty() ? "." : origin));
    }
#endif
  }
  for (const std::string &name : IcuLoadOrder(kIcuNaming, names)) {
#ifdef _WIN32
    const std::string why = LoadIcuFile(name);
#else
    const std::string why = LoadIcuFile(name, run_path);
#endif
    if (!why.empty()) {
      return "RFC library " + std::string(kNwRfcLibraryFile) + " needs " + name + ", " + why +
             "; install the NetWeaver RFC SDK's whole lib folder...";
    }
  }
  return {};
}

/// Binds SAP's library once it is known to be one (it has the operations) and its ICU files are
/// loaded; null with the reason.
const RfcLibrary *CheckAndBindNwRfc(Module module, std::string *problem) {
  nwbinding::NwRfcFunctions functions;
  if (!ResolveNwRfc(module, functions, problem)) {
    return nullptr;
  }
  *problem = IcuProblem(module);
  return problem->empty() ? nwbinding::BindNwRfcLibrary(functions) : nullptr;
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
  // A file that cannot be loaded is reported in the document, never in a dialog box that waits
  // for someone to close it.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  KeepLibraryStandardError();
  std::string classic_failure;
  std::string classic_not_tried;
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
  } else {
    classic_not_tried = "; " + std::string(kRfcLibraryFile) +
                        " was not tried: " + std::string(kNwRfcSwitchFile) +
                        " beside the program asks for the NetWeaver library";
  }
#endif
  PutProgramFolderOnPath(folder);
  HMODULE nw = LoadLibraryA(std::string(kNwRfcLibraryFile).c_str());
  if (!nw) {
    const DWORD error = GetLastError();
    // Appended piece by piece: GCC 12 takes "(" + text for an overlapping copy (-Wrestrict).
    std::string failure = "(";
    failure += LoadFailure(kNwRfcLibraryFile, error);
    failure += classic_not_tried;
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
    const bool not_found = path.empty() && NotFoundBySearch(reason);
    if (not_found && !IsFile(folder + std::string(kNwRfcSwitchFile))) {
      return &LinkedRfcLibrary();
    }
    *problem = "RFC library " + std::string(kNwRfcLibraryFile) + " cannot be loaded (" +
               (not_found ? "no " + std::string(kNwRfcLibraryFile) +
                                " beside the program, on LD_LIBRARY_PATH nor in the system's "
                                "search (ldconfig)"
                          : LoadFailure(path, reason)) +
               ")...";
    return nullptr;
  }
  KeepLibraryStandardError();
  const RfcLibrary *library = CheckAndBindNwRfc(nw, problem);
  if (!library) {
    dlclose(nw);
  }
  return library;
}

#endif

/// A problem's text as the error document can hold it: no markup, no control characters.
std::string DocumentSafe(std::string text) {
  for (char &c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '<' || c == '>' || c == '&') {
      c = '?';
    }
  }
  return text;
}

} // namespace

const RfcLibrary *SystemRfcLibrary(std::string *problem) {
  const std::string folder = ProgramFolder();
  if (IsFile(folder + std::string(kStandinSwitchFile))) {
    return &LinkedRfcLibrary();
  }
  static const RfcLibrary *bound = nullptr;
  if (!bound) {
    bound = LoadLibraries(folder, problem);
    *problem = DocumentSafe(std::move(*problem));
  }
  return bound;
}

} // namespace kestrovan
