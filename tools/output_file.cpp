#include "tools/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace render {

namespace {

// The temporary file in the making, for the signal handler: a fixed buffer,
// as a handler may only use what is async-signal-safe.
char g_tempPath[PATH_MAX + 16];
volatile std::sig_atomic_t g_haveTemp = 0;

void SetPendingTemp(const std::string& path) {
  g_haveTemp = 0;
  if (path.size() >= sizeof g_tempPath) return;
  std::memcpy(g_tempPath, path.c_str(), path.size() + 1);
  g_haveTemp = 1;
}

extern "C" void RemoveTempAndDie(int signal) {
  if (g_haveTemp) ::unlink(g_tempPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

[[noreturn]] void ThrowFileError(const std::string& path, int error) {
  throw std::system_error(error, std::generic_category(), "cannot write \"" + path + "\"");
}

}  // namespace

void CheckWritable(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return;  // a new file: its folder decides
  if (S_ISDIR(st.st_mode)) ThrowFileError(path, EISDIR);
  // root passes access() for any file; a file nobody may write is still
  // meant to stay as it is.
  if (::access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) {
    ThrowFileError(path, EACCES);
  }
}

ReplacingFile::ReplacingFile(const std::string& path) : path_(path), target_(path) {
  CheckWritable(path);
  mode_t mode = 0;
  if (struct stat st {}; ::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      // A device or a named pipe: a rename would put a file in its place.
      fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
      if (fd_ < 0) ThrowFileError(path, errno);
      direct_ = true;
      return;
    }
    // Replace what a link points to, not the link, and keep who may read it.
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      target_ = real;
      std::free(real);
    }
    mode = st.st_mode & 0777;
  } else {
    // mkstemp makes the file private; give it the usual mode for new files.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  std::string temp = target_ + ".XXXXXX";
  fd_ = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd_ < 0) ThrowFileError(path, errno);
  temp_ = temp;
  SetPendingTemp(temp_);
  if (::fchmod(fd_, mode) != 0) {
    const int error = errno;
    ::close(fd_);
    fd_ = -1;
    ::unlink(temp_.c_str());
    g_haveTemp = 0;
    ThrowFileError(path, error);
  }
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) {
    g_haveTemp = 0;
    ::unlink(temp_.c_str());
  }
}

int ReplacingFile::ReleaseFd() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void ReplacingFile::Commit() {
  if (temp_.empty()) return;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) ThrowFileError(path_, errno);
  g_haveTemp = 0;
  temp_.clear();
}

void RemoveTemporaryFileOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemoveTempAndDie;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    // A signal ignored on entry stays ignored, as for a job started in the
    // background or under nohup.
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace render
