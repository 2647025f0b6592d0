// The platform over file descriptors, shared by Windows (the C runtime's descriptors) and POSIX
// systems; how a path reaches the file system, what counts as a regular file and the local clock
// differ.
#include "platform/platform.h"
#include "platform/text_pieces.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
// windows.h turns CopyFile into CopyFileA; the Platform operation keeps its own name.
#undef CopyFile
#else
#include <unistd.h>

#include "platform/path_mapping.h"
#endif

namespace kestrovan {

namespace {

// ---- Descriptors of regular files ------------------------------------------------------------

#ifdef _WIN32

int CloseDescriptor(int fd) { return _close(fd); }

/// Bytes read, 0 at the end, negative on an error.
long ReadDescriptor(int fd, char *data, std::size_t size) {
  return _read(fd, data, static_cast<unsigned>(size));
}

long WriteDescriptor(int fd, const char *data, std::size_t size) {
  return _write(fd, data, static_cast<unsigned>(size));
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

/// A file on a disk, not a directory: consoles, printers, pipes and sockets are other types.
bool IsRegular(int fd) {
  const HANDLE handle = HandleOf(fd);
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(handle, &info) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool SameFile(int a, int b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return GetFileInformationByHandle(HandleOf(a), &first) != 0 &&
         GetFileInformationByHandle(HandleOf(b), &second) != 0 &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool Truncate(int fd) { return _chsize(fd, 0) == 0; }

/// The new position, or -1.
std::int64_t Seek(int fd, std::int64_t offset, int origin) { return _lseeki64(fd, offset, origin); }

int OpenRegularForReading(const std::string &native) {
  const int fd = _open(native.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    return -1;
  }
  if (!IsRegular(fd)) {
    _close(fd);
    return -1;
  }
  return fd;
}

/// Opens (creating when missing, never truncating) a regular file for writing. The log is
/// written in text mode, as Windows programs write their logs; everything else byte for byte.
int OpenRegularForWriting(const std::string &native, bool append) {
  const int flags =
      _O_WRONLY | _O_CREAT | _O_NOINHERIT | (append ? _O_APPEND | _O_TEXT : _O_BINARY);
  const int fd = _open(native.c_str(), flags, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    return -1;
  }
  if (!IsRegular(fd)) {
    _close(fd);
    return -1;
  }
  return fd;
}

std::FILE *AppendStream(int fd) { return _fdopen(fd, "a"); }

void RemoveRegularFile(const std::string &native) {
  const DWORD attributes = GetFileAttributesA(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return;
  }
  DeleteFileA(native.c_str());
}
#else

int CloseDescriptor(int fd) { return ::close(fd); }

long ReadDescriptor(int fd, char *data, std::size_t size) {
  ssize_t got;
  do {
    got = ::read(fd, data, size);
  } while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

long WriteDescriptor(int fd, const char *data, std::size_t size) {
  ssize_t put;
  do {
    put = ::write(fd, data, size);
  } while (put < 0 && errno == EINTR);
  return static_cast<long>(put);
}

bool IsRegular(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

bool SameFile(int a, int b) {
  struct stat first {};
  struct stat second {};
  return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool Truncate(int fd) { return ::ftruncate(fd, 0) == 0; }

std::int64_t Seek(int fd, std::int64_t offset, int origin) {
  return static_cast<std::int64_t>(::lseek(fd, static_cast<off_t>(offset), origin));
}

/// False only for something that exists and is no regular file; such a thing (a device, FIFO,
/// socket, directory) is never opened, as opening some devices has effects of its own.
bool MayOpen(const std::string &native, bool may_be_missing) {
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0) {
    return may_be_missing && errno == ENOENT;
  }
  return S_ISREG(info.st_mode);
}

/// O_NONBLOCK keeps a FIFO put in place between the test above and the open from blocking the
/// open; the descriptor's own type is what decides.
int OpenRegular(const std::string &native, int flags, bool may_be_missing) {
  if (!MayOpen(native, may_be_missing)) {
    return -1;
  }
  int fd;
  do {
    fd = ::open(native.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    return -1;
  }
  if (!IsRegular(fd)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int OpenRegularForReading(const std::string &native) {
  return OpenRegular(native, O_RDONLY, false);
}

int OpenRegularForWriting(const std::string &native, bool append) {
  return OpenRegular(native, O_WRONLY | O_CREAT | (append ? O_APPEND : 0), true);
}

std::FILE *AppendStream(int fd) { return ::fdopen(fd, "a"); }

/// unlink, unlike remove, never takes a directory; devices and FIFOs are left as well.
void RemoveRegularFile(const std::string &native) {
  if (MayOpen(native, false)) {
    ::unlink(native.c_str());
  }
}
#endif

/// Owns an open descriptor and closes it when it goes.
class Descriptor {
public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      CloseDescriptor(fd_);
    }
  }
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  /// Closes now; false when closing reports an error (for a written file: data may be lost).
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd >= 0 && CloseDescriptor(fd) == 0;
  }

private:
  int fd_;
};

bool WriteAll(int fd, const char *data, std::size_t size) {
  while (size > 0) {
    const long put = WriteDescriptor(fd, data, size);
    if (put <= 0) {
      return false;
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

/// A text file read in chunks and translated on the way as Windows text mode does, handing out
/// the same pieces as TextPieces over TranslateTextMode of the whole file.
class FileTextSource : public TextSource {
public:
  explicit FileTextSource(int fd) : file_(fd), buffer_(kFileReadChunk) {}

  bool Next(std::size_t max_chars, std::string *piece) override {
    char c = 0;
    if (max_chars == 0 || !NextChar(&c)) {
      return false;
    }
    piece->assign(1, c);
    while (c != '\n' && piece->size() < max_chars && NextChar(&c)) {
      piece->push_back(c);
    }
    return true;
  }

  /// Passes over the bytes up to and including the next line feed, untranslated: a text read
  /// from the middle of a file starts with the first whole line.
  void SkipPastLineFeed() {
    int byte;
    while ((byte = Peek()) >= 0) {
      ++next_;
      if (byte == '\n') {
        return;
      }
    }
  }

private:
  /// The next raw byte without taking it; -1 at the end of the file or after a read error.
  int Peek() {
    if (next_ == filled_) {
      if (at_end_) {
        return -1;
      }
      const long got = ReadDescriptor(file_.Get(), buffer_.data(), buffer_.size());
      if (got <= 0) {
        at_end_ = true;
        return -1;
      }
      next_ = 0;
      filled_ = static_cast<std::size_t>(got);
    }
    return static_cast<unsigned char>(buffer_[next_]);
  }

  /// The next character of the translated text; false at its end. The byte after a CR may only
  /// arrive with the next read, which Peek does.
  bool NextChar(char *c) {
    const int byte = Peek();
    if (byte < 0 || byte == 0x1a) { // Ctrl-Z ends a text file on Windows
      at_end_ = true;
      next_ = filled_;
      return false;
    }
    ++next_;
    if (byte == '\r' && Peek() == '\n') {
      ++next_;
      *c = '\n';
      return true;
    }
    *c = static_cast<char>(byte);
    return true;
  }

  Descriptor file_;
  std::vector<char> buffer_;
  std::size_t next_ = 0, filled_ = 0;
  bool at_end_ = false;
};

class StdioAppendFile : public AppendFile {
public:
  explicit StdioAppendFile(std::FILE *file) : file_(file) {}
  ~StdioAppendFile() override { std::fclose(file_); }
  StdioAppendFile(const StdioAppendFile &) = delete;
  StdioAppendFile &operator=(const StdioAppendFile &) = delete;
  void Write(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fflush(file_);
  }

private:
  std::FILE *file_;
};

class StdioPlatform : public Platform {
public:
  explicit StdioPlatform(std::string drive_root) : drive_root_(std::move(drive_root)) {}

  std::unique_ptr<TextSource> OpenText(const std::string &path) override {
    const int fd = OpenForReading(path);
    if (fd < 0) {
      return nullptr;
    }
    return std::make_unique<FileTextSource>(fd);
  }

  std::unique_ptr<TextSource> OpenTextEnd(const std::string &path,
                                          std::uint64_t last_bytes) override {
    const int fd = OpenForReading(path);
    if (fd < 0) {
      return nullptr;
    }
    auto text = std::make_unique<FileTextSource>(fd);
    const std::int64_t size = Seek(fd, 0, SEEK_END);
    if (size < 0 || Seek(fd, 0, SEEK_SET) != 0) {
      return nullptr;
    }
    const auto length = static_cast<std::uint64_t>(size);
    if (length > last_bytes) {
      // One byte early: when the byte before the part is a line feed, the part is a whole line.
      const auto from = static_cast<std::int64_t>(length - last_bytes - 1);
      if (Seek(fd, from, SEEK_SET) != from) {
        return nullptr;
      }
      text->SkipPastLineFeed();
    }
    return text;
  }

  bool CopyFile(const std::string &from, const std::string &to, std::uint64_t largest) override {
    Descriptor source(OpenForReading(from));
    if (!source.IsOpen()) {
      return false;
    }
    // The whole source is read before the target is touched, and never more than one byte
    // beyond what may be copied.
    std::string content;
    std::vector<char> buffer(kFileReadChunk);
    long got = 0;
    while (content.size() <= largest) {
      const std::uint64_t room = largest - content.size();
      const std::size_t want =
          room >= buffer.size() ? buffer.size() : static_cast<std::size_t>(room + 1);
      if ((got = ReadDescriptor(source.Get(), buffer.data(), want)) <= 0) {
        break;
      }
      content.append(buffer.data(), static_cast<std::size_t>(got));
    }
    if (got < 0 || content.size() > largest) {
      return false;
    }
    const auto target_path = Native(to);
    if (!target_path) {
      return false;
    }
    Descriptor target(OpenRegularForWriting(*target_path, false));
    if (!target.IsOpen()) {
      return false;
    }
    // Truncating the target first would empty a source that is the same file.
    if (SameFile(source.Get(), target.Get())) {
      return true;
    }
    if (!Truncate(target.Get())) {
      return false;
    }
    return WriteAll(target.Get(), content.data(), content.size()) && target.Close();
  }

  bool IsFile(const std::string &path) override {
    Descriptor file(OpenForReading(path));
    return file.IsOpen();
  }

  void RemoveFile(const std::string &path) override {
    if (const auto native = Native(path)) {
      RemoveRegularFile(*native);
    }
  }

  std::unique_ptr<AppendFile> OpenAppend(const std::string &path) override {
    const auto native = Native(path);
    if (!native) {
      return nullptr;
    }
    const int fd = OpenRegularForWriting(*native, true);
    if (fd < 0) {
      return nullptr;
    }
    std::FILE *file = AppendStream(fd);
    if (!file) {
      CloseDescriptor(fd);
      return nullptr;
    }
    return std::make_unique<StdioAppendFile>(file);
  }

  LocalTime Now() override {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &now);
#else
    localtime_r(&now, &parts);
#endif
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_wday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
  }

  void WriteStdout(std::string_view text) override {
    // On Windows standard output is in text mode, so every LF goes out as CR LF.
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) {
      stdout_failed_ = true;
    }
  }

  bool StdoutFailed() const override { return stdout_failed_ || std::ferror(stdout) != 0; }

private:
  /// The path the system knows; nullopt for a path holding NUL, which the C library would cut
  /// there and so reach another file.
  std::optional<std::string> Native(const std::string &path) const {
    if (path.find('\0') != std::string::npos) {
      return std::nullopt;
    }
#ifdef _WIN32
    return path;
#else
    return ResolveIgnoringCase(MapWindowsPath(path, drive_root_));
#endif
  }

  int OpenForReading(const std::string &path) const {
    const auto native = Native(path);
    return native ? OpenRegularForReading(*native) : -1;
  }

  std::string drive_root_;
  bool stdout_failed_ = false;
};

} // namespace

std::string SystemDriveRoot() {
#ifdef _WIN32
  return {};
#else
  const char *root = std::getenv("KESTROVAN_DRIVE_ROOT");
  return root && *root ? root : "/";
#endif
}

std::unique_ptr<Platform> MakeSystemPlatform(const std::string &drive_root) {
  return std::make_unique<StdioPlatform>(drive_root);
}

bool OpenMissingStandardStreams() {
#ifdef _WIN32
  // Windows hands out no descriptor numbers of its own that a file could take over.
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  return output != nullptr && output != INVALID_HANDLE_VALUE;
#else
  bool stdout_open = true;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    if (fd == 1) {
      stdout_open = false;
    }
    // The lowest free number is taken, and the smaller ones are open by now: it is this one.
    const int null_fd = ::open("/dev/null", (fd == 0 ? O_RDONLY : O_WRONLY) | O_NOCTTY);
    if (null_fd >= 0 && null_fd != fd) {
      ::dup2(null_fd, fd);
      ::close(null_fd);
    }
  }
  return stdout_open;
#endif
}

} // namespace kestrovan
