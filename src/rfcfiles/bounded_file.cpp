// The file is opened without waiting (a FIFO without a writer would block an ordinary open) and
// checked to be a regular file before a byte is read or written.
#include "rfcfiles/bounded_file.h"

#include <vector>

#include "wire/text_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rfcfiles {

namespace {

constexpr std::size_t kPiece = 64 * 1024;

#ifdef _WIN32

class File {
public:
  File(const std::string &path, bool append) {
    handle_ = CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          append ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
      return;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(handle_) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(handle_, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
  }
  ~File() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      CloseHandle(handle_);
    }
  }
  File(const File &) = delete;
  File &operator=(const File &) = delete;

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  /// Bytes read, 0 at the end, -1 on an error.
  long Read(char *buffer, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &got, nullptr)) {
      return -1;
    }
    return static_cast<long>(got);
  }
  bool Write(std::string_view text) {
    while (!text.empty()) {
      DWORD put = 0;
      if (!WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &put, nullptr) ||
          put == 0) {
        return false;
      }
      text.remove_prefix(put);
    }
    return true;
  }

private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

#else

class File {
public:
  File(const std::string &path, bool append) {
    const int flags = (append ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    do {
      fd_ = ::open(path.c_str(), flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    struct stat status {};
    if (fd_ >= 0 && (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode))) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~File() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  File(const File &) = delete;
  File &operator=(const File &) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  long Read(char *buffer, std::size_t size) {
    ssize_t got = 0;
    do {
      got = ::read(fd_, buffer, size);
    } while (got < 0 && errno == EINTR);
    return static_cast<long>(got);
  }
  bool Write(std::string_view text) {
    while (!text.empty()) {
      const ssize_t put = ::write(fd_, text.data(), text.size());
      if (put < 0 && errno == EINTR) {
        continue;
      }
      if (put <= 0) {
        return false;
      }
      text.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
  }

private:
  int fd_ = -1;
};

#endif

} // namespace

FileRead ReadTextFile(const std::string &path, std::size_t limit, std::string &content) {
  content.clear();
  if (path.find('\0') != std::string::npos) {
    return FileRead::Missing;
  }
  File file(path, false);
  if (!file.IsOpen()) {
    return FileRead::Missing;
  }
  std::vector<char> piece(kPiece);
  long got = 0;
  while ((got = file.Read(piece.data(), piece.size())) > 0) {
    if (content.size() + static_cast<std::size_t>(got) > limit) {
      content.clear();
      return FileRead::TooLarge;
    }
    content.append(piece.data(), static_cast<std::size_t>(got));
  }
  // A read error ends the text, as the end of the file does.
  content = rfcwire::TranslateTextMode(content);
  return FileRead::Ok;
}

bool AppendToRegularFile(const std::string &path, std::string_view text) {
  if (path.find('\0') != std::string::npos) {
    return false;
  }
  File file(path, true);
  if (!file.IsOpen()) {
    return false;
  }
#ifdef _WIN32
  std::string lines;
  lines.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') {
      lines.push_back('\r');
    }
    lines.push_back(c);
  }
  return file.Write(lines);
#else
  return file.Write(text);
#endif
}

} // namespace rfcfiles
