// Private files for the profile writer: owner-only modes on POSIX systems, protected access lists
// on Windows, and the check of who else can read a file.
#include "platform/private_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrovan {

namespace {

/// Profiles are small; protect refuses anything larger rather than copying it.
constexpr std::size_t kMaxProtectedFile = 1u << 20;

bool NamesNoFile(const std::string &path) {
  return path.empty() || path.find('\0') != std::string::npos;
}

/// A regular file at the name itself: not a folder, not a link or other reparse point.
bool IsPlainFile(const std::string &path);

} // namespace

#ifdef _WIN32
namespace {

/// Bytes Windows hands out and expects back freed with LocalFree.
struct LocalMemory {
  void *memory = nullptr;
  LocalMemory() = default;
  LocalMemory(const LocalMemory &) = delete;
  LocalMemory &operator=(const LocalMemory &) = delete;
  ~LocalMemory() {
    if (memory != nullptr) {
      LocalFree(memory);
    }
  }
};

std::string SidText(PSID sid) {
  LPSTR text = nullptr;
  if (ConvertSidToStringSidA(sid, &text) == 0) {
    return {};
  }
  std::string result(text);
  LocalFree(text);
  return result;
}

/// The SID of the account the process runs as, "S-1-5-21-..."; empty when Windows does not say.
std::string CurrentUserSid() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) == 0) {
    return {};
  }
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size == 0 ? 1 : size);
  std::string sid;
  if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) != 0) {
    sid = SidText(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid);
  }
  CloseHandle(token);
  return sid;
}

/// The SID of a named account ("PROBE\monitor", "monitor"); empty when Windows knows no such
/// account.
std::string AccountSid(const std::string &account) {
  DWORD sid_size = 0, domain_size = 0;
  SID_NAME_USE use;
  LookupAccountNameA(nullptr, account.c_str(), nullptr, &sid_size, nullptr, &domain_size, &use);
  if (sid_size == 0) {
    return {};
  }
  std::vector<unsigned char> sid(sid_size);
  std::vector<char> domain(domain_size + 1);
  if (LookupAccountNameA(nullptr, account.c_str(), sid.data(), &sid_size, domain.data(),
                         &domain_size, &use) == 0) {
    return {};
  }
  return SidText(sid.data());
}

/// The protected access list in the security descriptor language: full control for SYSTEM,
/// Administrators and the writing user, reading for the reader; "P" keeps out every entry the
/// folder would pass on.
std::optional<std::string> PrivateDescriptor(const PrivateAccess &access) {
  const std::string user = CurrentUserSid();
  if (user.empty()) {
    return std::nullopt;
  }
  std::string sddl = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + user + ")";
  if (!access.reader.empty()) {
    const std::string reader = AccountSid(access.reader);
    if (reader.empty()) {
      return std::nullopt;
    }
    sddl += "(A;;FR;;;" + reader + ")";
  }
  return sddl;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  constexpr std::size_t kPiece = 1u << 20;
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD part = static_cast<DWORD>(std::min(bytes.size() - done, kPiece));
    DWORD written = 0;
    if (WriteFile(file, bytes.data() + done, part, &written, nullptr) == 0 || written == 0) {
      return false;
    }
    done += written;
  }
  return FlushFileBuffers(file) != 0;
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
  unsigned char buffer[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof buffer;
  return CreateWellKnownSid(type, nullptr, buffer, &size) != 0 && EqualSid(sid, buffer) != 0;
}

/// The accounts whose reading opens a profile to every user of the machine, by the names an
/// English Windows gives them.
struct EveryUser {
  WELL_KNOWN_SID_TYPE type;
  const char *name;
};
constexpr EveryUser kEveryUser[] = {
    {WinWorldSid, "Everyone"},
    {WinBuiltinUsersSid, "Users"},
    {WinAuthenticatedUserSid, "Authenticated Users"},
};

bool IsEveryUser(PSID sid) {
  return std::any_of(std::begin(kEveryUser), std::end(kEveryUser),
                     [sid](const EveryUser &every) { return IsWellKnown(sid, every.type); });
}

bool IsPlainFile(const std::string &path) {
  if (NamesNoFile(path)) {
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

} // namespace

std::optional<std::string> CheckPrivateAccess(const PrivateAccess &access) {
  if (access.reader.empty()) {
    return std::nullopt;
  }
  const std::string sid = AccountSid(access.reader);
  PSID parsed = nullptr;
  if (!sid.empty() && ConvertStringSidToSidA(sid.c_str(), &parsed) != 0) {
    const bool every_user = IsEveryUser(parsed);
    LocalFree(parsed);
    if (every_user) {
      return access.reader + " stands for every user of the machine; name the one account";
    }
  }
  if (sid.empty()) {
    return "Windows knows no account " + access.reader;
  }
  return std::nullopt;
}

bool WritePrivateFile(const std::string &path, std::string_view bytes, bool replace,
                      const PrivateAccess &access) {
  if (NamesNoFile(path)) {
    return false;
  }
  const auto sddl = PrivateDescriptor(access);
  if (!sddl) {
    return false;
  }
  LocalMemory descriptor;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl->c_str(), SDDL_REVISION_1,
                                                           &descriptor.memory, nullptr) == 0) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.memory, FALSE};
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary =
        path + ".new-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
      return false;
    }
  }
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  bool written = WriteAll(file, bytes);
  written = CloseHandle(file) != 0 && written;
  // A file moved within its volume keeps its own access list. Moving onto a name replaces
  // whatever is there, a link included, never what a link points to; without
  // MOVEFILE_REPLACE_EXISTING an existing name stays as it is.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!written || MoveFileExA(temporary.c_str(), path.c_str(), flags) == 0) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}

OpenAccess ExamineAccess(const std::string &path) {
  OpenAccess result;
  if (NamesNoFile(path)) {
    return result;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return result;
  }
  PACL dacl = nullptr;
  LocalMemory descriptor;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor.memory) != ERROR_SUCCESS) {
    return result;
  }
  result.examined = true;
  if (dacl == nullptr) {
    result.open = true;
    result.who = "everyone (the file has no access list)";
    return result;
  }
  constexpr DWORD kReading = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void *entry = nullptr;
    if (GetAce(dacl, i, &entry) == 0) {
      continue;
    }
    const auto *header = static_cast<const ACE_HEADER *>(entry);
    // Entries only passed on to what a folder holds do not apply to the folder's files.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
      continue;
    }
    auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(entry);
    if ((allowed->Mask & kReading) == 0) {
      continue;
    }
    for (const EveryUser &other : kEveryUser) {
      if (IsWellKnown(&allowed->SidStart, other.type)) {
        if (!result.who.empty()) {
          result.who += ", ";
        }
        result.who += other.name;
        if ((header->AceFlags & INHERITED_ACE) != 0) {
          result.who += " (inherited)";
        }
        result.open = true;
      }
    }
  }
  return result;
}
#else
namespace {

constexpr mode_t kPrivateMode = 0600;
constexpr mode_t kOthersBits = 0077;

bool WriteAllAndSync(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0;
}

bool IsPlainFile(const std::string &path) {
  struct stat info {};
  return !NamesNoFile(path) && ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

std::optional<std::string> CheckPrivateAccess(const PrivateAccess &access) {
  if (!access.reader.empty()) {
    return "a further reader can be given on Windows only; here the profile is its owner's alone";
  }
  return std::nullopt;
}

bool WritePrivateFile(const std::string &path, std::string_view bytes, bool replace,
                      const PrivateAccess &access) {
  if (NamesNoFile(path) || CheckPrivateAccess(access)) {
    return false;
  }
  if (!replace) {
    // O_EXCL creates a new file or fails; it follows no link, not even a dangling one.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateMode);
    if (fd < 0) {
      return false;
    }
    const bool written = ::fchmod(fd, kPrivateMode) == 0 && WriteAllAndSync(fd, bytes);
    if (::close(fd) == 0 && written) {
      return true;
    }
    ::unlink(path.c_str());
    return false;
  }
  // A new owner-only file beside the target, renamed over it: the old file keeps none of its
  // own mode, a link at the target is replaced rather than written through, and a reader sees
  // the old profile or the new one, never a part.
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    return false;
  }
  const bool written = ::fchmod(fd, kPrivateMode) == 0 && WriteAllAndSync(fd, bytes);
  if (::close(fd) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0) {
    return true;
  }
  ::unlink(temporary.c_str());
  return false;
}

OpenAccess ExamineAccess(const std::string &path) {
  OpenAccess result;
  struct stat info {};
  if (NamesNoFile(path) || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return result;
  }
  result.examined = true;
  const mode_t others = info.st_mode & kOthersBits;
  if (others != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    result.open = true;
    result.who = std::string((others & 0070) != 0 && (others & 0007) != 0 ? "group and others"
                             : (others & 0070) != 0                       ? "its group"
                                                                          : "others") +
                 " (mode " + mode + ")";
  }
  return result;
}
#endif

bool ProtectFile(const std::string &path, const PrivateAccess &access) {
  if (!IsPlainFile(path)) {
    return false;
  }
  // Written anew rather than changed in place: the new file gets exactly the access a written
  // profile gets, and a reader sees the old file or the new one.
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  char piece[4096];
  while (in.read(piece, sizeof piece) || in.gcount() > 0) {
    bytes.append(piece, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxProtectedFile) {
      return false;
    }
  }
  if (in.bad()) {
    return false;
  }
  in.close();
  return WritePrivateFile(path, bytes, true, access);
}

} // namespace kestrovan
