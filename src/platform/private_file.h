// Files only the probe can read: writing them, closing them to others, and finding who else can
// read one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrovan {

/// Who may read a private file besides the writer: on Windows SYSTEM (the probe service's
/// account), Administrators and the writing user always; reader names one more account with
/// read access (a device's Windows credentials that a sensor runs with), empty for none.
struct PrivateAccess {
  std::string reader;
};

/// Nullopt when the access can be given on this system, otherwise why not (an account Windows
/// does not know; on POSIX systems any reader, which the owner-only mode has no room for).
std::optional<std::string> CheckPrivateAccess(const PrivateAccess &access);

/// Writes a file (a native path) with the private access, all of it or nothing: on POSIX systems
/// mode 0600, on Windows a protected access list (nothing inherited from the folder) for SYSTEM,
/// Administrators, the writing user and the reader. Without replace only a new file is created:
/// anything at the path, a link included, stays and the result is false. With replace the bytes
/// go to a new file beside the target, which is then renamed over it: an existing file's
/// permissions are not kept, and a link at the path is replaced by the file while what it points
/// to stays untouched.
bool WritePrivateFile(const std::string &path, std::string_view bytes, bool replace,
                      const PrivateAccess &access);

/// Gives an existing regular file the private access in place. False when it cannot.
bool ProtectFile(const std::string &path, const PrivateAccess &access);

/// Who besides the owner, the administrators and the system can read a file.
struct OpenAccess {
  bool examined = false; // false: the file is missing or its permissions cannot be read
  bool open = false;     // someone else can read it
  std::string who;       // "Everyone, Users (inherited)" or "group and others (mode 0644)"
};

/// Looks at a file's permissions without opening it. On Windows an allowing entry for Everyone,
/// Users or Authenticated Users that grants reading, inherited or not, or no access list at all,
/// opens it; on POSIX systems any group or other permission bit.
OpenAccess ExamineAccess(const std::string &path);

} // namespace kestrovan
