#include "platform/portable/PortableTransferAgentControl.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "platform/portable/PortableShell.h"
#include "platform/portable/PosixError.h"

extern char** environ;

namespace dwl::portable {

namespace {

std::string DefaultLockFile() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
  // One agent per user and per-user folder, so a second HOME (a test, a demo)
  // has an agent of its own.
  std::uint64_t hash = 1469598103934665603ULL;
  for (const unsigned char c : PortableShell().SpecialFolder(csidl::kAppData)) {
    hash = (hash ^ c) * 1099511628211ULL;
  }
  return folder + "/DropwellTransferAgent-" + std::to_string(::getuid()) + "-" +
         std::to_string(hash % 1000000007ULL) + ".lock";
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
    : lockFile_(lockFile.empty() ? DefaultLockFile() : std::move(lockFile)) {}

PortableTransferAgentControl::~PortableTransferAgentControl() { ReapFinishedChildren(); }

bool PortableTransferAgentControl::IsRunning() {
  const int fd = ::open(lockFile_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;  // no agent ever made the file
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
  const int fd = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) throw PosixError(errno, "TransferAgentControl.TryAcquireMark", lockFile_);
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
