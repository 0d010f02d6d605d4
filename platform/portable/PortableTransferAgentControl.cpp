#include "platform/portable/PortableTransferAgentControl.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>

#include "platform/portable/PortableShell.h"
#include "platform/portable/PosixError.h"
#include "support/AppSettings.h"

extern char** environ;

namespace dwl::portable {

namespace {

// $XDG_RUNTIME_DIR when it is a folder of this user's that no one else may
// enter, as it must be; a folder others may write lets them plant the file.
std::optional<std::string> PrivateRuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime != '/') return std::nullopt;
  struct stat st {};
  if (::stat(runtime, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 077) != 0) {
    return std::nullopt;
  }
  return std::string(runtime);
}

std::string DefaultLockFile() {
  if (const std::optional<std::string> runtime = PrivateRuntimeFolder()) {
    // One agent per user and per-user folder, so a second HOME (a test, a
    // demo) has an agent of its own.
    std::uint64_t hash = 1469598103934665603ULL;
    for (const unsigned char c : PortableShell().SpecialFolder(csidl::kAppData)) {
      hash = (hash ^ c) * 1099511628211ULL;
    }
    return *runtime + "/DropwellTransferAgent-" + std::to_string(::getuid()) + "-" +
           std::to_string(hash % 1000000007ULL) + ".lock";
  }
  // The user's own folder (0700), one per per-user folder already.
  const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  if (settings->getApplicationDirectory().empty()) settings->RefreshSettings();
  return settings->getApplicationDirectory() + "TransferAgent.lock";
}

// Opens the lock file without following a symbolic link, and only if it is a
// plain file of this user's; else -1 with errno set.
int OpenLockFile(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  return fd;
}

flock WholeFileWriteLock() {
  flock lock{};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  return lock;
}

class LockMark : public AgentMark {
 public:
  explicit LockMark(int fd) : fd_(fd) {}
  ~LockMark() override { ::close(fd_); }
  LockMark(const LockMark&) = delete;
  LockMark& operator=(const LockMark&) = delete;

 private:
  int fd_;
};

}  // namespace

PortableTransferAgentControl::PortableTransferAgentControl(std::string lockFile)
    : lockFile_(std::move(lockFile)) {}

PortableTransferAgentControl::~PortableTransferAgentControl() { ReapFinishedChildren(); }

const std::string& PortableTransferAgentControl::LockFile() {
  // Late: the application folder is known once the settings were refreshed.
  if (lockFile_.empty()) lockFile_ = DefaultLockFile();
  return lockFile_;
}

bool PortableTransferAgentControl::IsRunning() {
  // No agent ever made the file, or it is not one an agent of ours made.
  const int fd = OpenLockFile(LockFile(), O_RDONLY);
  if (fd < 0) return false;
  flock lock = WholeFileWriteLock();
  const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

void PortableTransferAgentControl::Start(const std::string& moduleFolder) {
  ReapFinishedChildren();
  const std::string program = moduleFolder + "/TransferAgent";
  std::string option = "-o";
  char* argv[] = {const_cast<char*>(program.c_str()), option.data(), nullptr};

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t child = 0;
  const int error = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw PosixError(error, "TransferAgentControl.Start", program);
  children_.push_back(child);
}

std::unique_ptr<AgentMark> PortableTransferAgentControl::TryAcquireMark() {
  const int fd = OpenLockFile(LockFile(), O_RDWR | O_CREAT);
  if (fd < 0) {
    const int error = errno;
    if (error == ELOOP || error == EPERM) {
      throw Error(errc::kPermissionDenied, "TransferAgentControl.TryAcquireMark",
                  "The lock file is a symbolic link or not a file of this user's: " + lockFile_);
    }
    throw PosixError(error, "TransferAgentControl.TryAcquireMark", lockFile_);
  }
  flock lock = WholeFileWriteLock();
  if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
    const int error = errno;
    ::close(fd);
    if (error == EAGAIN || error == EACCES) return nullptr;
    throw PosixError(error, "TransferAgentControl.TryAcquireMark", lockFile_);
  }
  return std::make_unique<LockMark>(fd);
}

// The agent outlives nothing of ours; collect the ones that ended so none
// stays a zombie of the host process.
void PortableTransferAgentControl::ReapFinishedChildren() {
  std::erase_if(children_, [](pid_t child) {
    int status = 0;
    return ::waitpid(child, &status, WNOHANG) != 0;
  });
}

}  // namespace dwl::portable
