#include "dot/file_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dot/utf8_decode.h"

namespace tolva {
namespace {

// strerror_r comes in two shapes: the GNU one returns the text, the POSIX one
// fills the buffer and returns 0 on success. Overloading accepts either.
[[maybe_unused]] const char* error_text(const char* gnu_result, const char*) {
  return gnu_result;
}
[[maybe_unused]] const char* error_text(int posix_result, const char* buffer) {
  return posix_result == 0 ? buffer : "Unknown error";
}

// Closes the descriptor on every way out of read_file_text.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// A system call interrupted by a signal is retried, unless the caller, asked
// at once (its signal handler may raise), wants to stop.
bool retry_interrupted(int error, StopControl* stop) {
  return error == EINTR && (stop == nullptr || !stop->poll_now());
}

// Opens `path` for reading; -1 with errno set otherwise. Opening a FIFO waits
// for its writer, so it can be interrupted like a read.
int open_for_reading(const std::string& path, StopControl* stop) {
  for (;;) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 || !retry_interrupted(errno, stop)) return fd;
  }
}

// Appends everything left in `fd` to `out`; the errno of a failed read otherwise.
std::expected<void, int> read_all(int fd, std::string& out, StopControl* stop) {
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return {};
    if (got < 0) {
      if (retry_interrupted(errno, stop)) continue;
      return std::unexpected(errno);
    }
    out.append(buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace

std::string os_error_message(int code) {
  char buffer[256] = {};
  std::string text = error_text(strerror_r(code, buffer, sizeof buffer), buffer);
  return text + " (os error " + std::to_string(code) + ")";
}

std::expected<std::string, std::string> read_file_bytes(std::string_view path, StopControl* stop) {
  if (path.find('\0') != std::string_view::npos)
    return std::unexpected(std::string("file name contained an unexpected NUL byte"));
  FileDescriptor file(open_for_reading(std::string(path), stop));
  if (file.get() < 0) return std::unexpected(os_error_message(errno));

  std::string bytes;
  struct stat info {};
  if (::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
    bytes.reserve(static_cast<std::size_t>(info.st_size));
  if (auto read = read_all(file.get(), bytes, stop); !read)
    return std::unexpected(os_error_message(read.error()));
  return bytes;
}

std::expected<std::string, std::string> read_file_text(std::string_view path, StopControl* stop) {
  auto text = read_file_bytes(path, stop);
  if (text && !is_valid_utf8(*text))
    return std::unexpected(std::string("stream did not contain valid UTF-8"));
  return text;
}

}  // namespace tolva
