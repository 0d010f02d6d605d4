#include "platform/portable/PortableTransferAgentControl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "support/AppSettings.h"
#include "tests/TestPlatform.h"

namespace dwl {
namespace {

TEST(PortableTransferAgentControlTest, TheMarkTellsWhetherAnAgentRuns) {
  testing::TestPlatform sandbox;
  portable::PortableTransferAgentControl control(sandbox.Path("agent.lock"));
  EXPECT_FALSE(control.IsRunning()) << "no lock file yet";
  {
    std::unique_ptr<AgentMark> mark = control.TryAcquireMark();
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(control.IsRunning());
    EXPECT_TRUE(control.IsRunning()) << "asking must not take the mark";
    portable::PortableTransferAgentControl other(sandbox.Path("agent.lock"));
    EXPECT_EQ(other.TryAcquireMark(), nullptr) << "a second agent must leave";
  }
  EXPECT_FALSE(control.IsRunning()) << "the mark goes with its holder";
  EXPECT_NE(control.TryAcquireMark(), nullptr);
}

TEST(PortableTransferAgentControlTest, StartsTheAgentWithItsOption) {
  testing::TestPlatform sandbox;
  const std::string agent = sandbox.Module() + "/TransferAgent";
  const std::string record = sandbox.Path("started.txt");
  testing::WriteBytes(agent, "#!/bin/sh\necho \"$@\" > '" + record + ".part'\nmv '" + record +
                                 ".part' '" + record + "'\n");
  ::chmod(agent.c_str(), 0755);
  portable::PortableTransferAgentControl control(sandbox.Path("agent.lock"));
  control.Start(sandbox.Module());
  for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(std::filesystem::exists(record)) << "the agent did not run";
  EXPECT_EQ(testing::ReadBytes(record), "-o\n");
}

TEST(PortableTransferAgentControlTest, AMissingAgentIsAnError) {
  testing::TestPlatform sandbox;
  portable::PortableTransferAgentControl control(sandbox.Path("agent.lock"));
  try {
    control.Start(sandbox.Path("nowhere"));
    FAIL() << "starting a missing program must fail";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Number(), errc::kFileNotFound);
    EXPECT_NE(failure.Description().find("TransferAgent"), std::string::npos);
  }
}

// Sets an environment variable for the scope; puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnvironment() { Set(old_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name_, value->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

// A folder of the sandbox with this mode and owner (nullopt: ours); false
// when the owner cannot be given (not run as root).
bool MakeFolder(const std::string& path, mode_t mode, std::optional<uid_t> owner = std::nullopt) {
  std::filesystem::create_directories(path);
  if (owner && ::chown(path.c_str(), *owner, static_cast<gid_t>(-1)) != 0) return false;
  return ::chmod(path.c_str(), mode) == 0;
}

// The lock lies where only the user may write: $XDG_RUNTIME_DIR when it is
// the user's own folder, else the application folder, never in a folder
// that others may write or that is theirs.
TEST(PortableTransferAgentControlTest, TheLockLiesWhereOnlyTheUserMayWrite) {
  testing::TestPlatform sandbox;
  const std::string own = sandbox.Path("run-own");
  ASSERT_TRUE(MakeFolder(own, 0700));
  ASSERT_TRUE(MakeFolder(sandbox.Path("run-shared"), 01777));
  ASSERT_TRUE(MakeFolder(sandbox.Path("run-group"), 0770));
  const bool foreign = MakeFolder(sandbox.Path("run-foreign"), 0700, 65534);
  struct Case {
    const char* what;
    std::optional<std::string> runtime;
    bool inRuntime;
  };
  std::vector<Case> cases = {
      {"unset", std::nullopt, false},
      {"empty", "", false},
      {"the user's own", own, true},
      {"writable by all", sandbox.Path("run-shared"), false},
      {"open to the group", sandbox.Path("run-group"), false},
      {"not a folder", sandbox.Path("appdata/none"), false},
      {"relative", "run-own", false},
  };
  if (foreign) cases.push_back({"another user's", sandbox.Path("run-foreign"), false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", c.runtime);
    portable::PortableTransferAgentControl control;
    const std::string lockFile = control.LockFile();
    if (c.inRuntime) {
      EXPECT_EQ(std::filesystem::path(lockFile).parent_path(), own);
    } else {
      // Found before anyone refreshed the settings: it does so itself.
      EXPECT_EQ(lockFile, AppSettings::Instance()->getApplicationDirectory() + "TransferAgent.lock");
      EXPECT_EQ(lockFile.rfind(sandbox.AppData() + "/Dropwell/", 0), 0u) << lockFile;
    }
    std::unique_ptr<AgentMark> mark = control.TryAcquireMark();
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(control.IsRunning());
    EXPECT_EQ(std::filesystem::status(lockFile).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  }
}

// A lock file planted by someone else is neither opened through a link nor
// used when it is theirs: taking the mark fails, and no agent counts as
// running, however the planted file is locked.
TEST(PortableTransferAgentControlTest, APlantedLockFileIsNotUsed) {
  testing::TestPlatform sandbox;
  const std::string target = sandbox.Path("target");
  testing::WriteBytes(target, "kept");
  portable::PortableTransferAgentControl holder(target);
  const std::unique_ptr<AgentMark> held = holder.TryAcquireMark();
  ASSERT_NE(held, nullptr);

  const std::string linked = sandbox.Path("linked.lock");
  std::filesystem::create_symlink(target, linked);
  const std::string dangling = sandbox.Path("dangling.lock");
  std::filesystem::create_symlink(sandbox.Path("made-through-the-link"), dangling);
  const std::string theirs = sandbox.Path("theirs.lock");
  testing::WriteBytes(theirs, "");
  const bool foreign = ::chown(theirs.c_str(), 65534, static_cast<gid_t>(-1)) == 0;

  std::vector<std::string> planted = {linked, dangling};
  if (foreign) planted.push_back(theirs);
  for (const std::string& path : planted) {
    SCOPED_TRACE(path);
    portable::PortableTransferAgentControl control(path);
    EXPECT_FALSE(control.IsRunning());
    EXPECT_TRUE(testing::ThrowsError(errc::kPermissionDenied, [&] { control.TryAcquireMark(); }));
  }
  EXPECT_FALSE(std::filesystem::exists(sandbox.Path("made-through-the-link")));
  EXPECT_EQ(testing::ReadBytes(target), "kept");
  EXPECT_TRUE(std::filesystem::is_symlink(linked));
}

}  // namespace
}  // namespace dwl
