#include "platform/portable/PortableTransferAgentControl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/TestPlatform.h"

namespace dwl {
namespace {

using portable::PortableTransferAgentControl;

class PortableTransferAgentControlTest : public ::testing::Test {
 protected:
  testing::TestPlatform sandbox;
  PortableTransferAgentControl control{sandbox.Path("agent.lock")};
};

// tests/agent/two_agents_test.sh starts two agents at once.
TEST_F(PortableTransferAgentControlTest, TheMarkTellsWhetherAnAgentRuns) {
  EXPECT_FALSE(control.IsRunning()) << "no lock file yet";
  {
    const std::unique_ptr<AgentMark> mark = control.TryAcquireMark();
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(control.IsRunning());
    EXPECT_TRUE(control.IsRunning()) << "asking must not take the mark";
  }
  EXPECT_FALSE(control.IsRunning()) << "the mark goes with its holder";
  EXPECT_NE(control.TryAcquireMark(), nullptr);
}

TEST_F(PortableTransferAgentControlTest, StartsTheAgentBesideTheAddInWithItsOption) {
  const std::string agent = sandbox.Module() + "/TransferAgent";
  const std::string record = sandbox.Path("started.txt");
  testing::WriteBytes(agent, "#!/bin/sh\necho \"$@\" > '" + record + ".part'\nmv '" + record + ".part' '" +
                                 record + "'\n");
  ::chmod(agent.c_str(), 0755);
  control.Start(sandbox.Module());
  for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(std::filesystem::exists(record)) << "the agent did not run";
  EXPECT_EQ(testing::ReadBytes(record), "-o\n");
  EXPECT_TRUE(testing::ThrowsError(errc::kFileNotFound, [&] { control.Start(sandbox.Path("nowhere")); }));
}

// The lock lies where only the user may write: $XDG_RUNTIME_DIR when it is
// the user's own folder, else the application folder, never in a folder
// that others may write or that is theirs. Folders of another user can be
// made only when the tests run as root.
TEST_F(PortableTransferAgentControlTest, TheLockLiesWhereOnlyTheUserMayWrite) {
  const auto folder = [&](const std::string& name, mode_t mode, uid_t owner = ::getuid()) {
    std::filesystem::create_directories(sandbox.Path(name));
    const bool made = ::chown(sandbox.Path(name).c_str(), owner, static_cast<gid_t>(-1)) == 0;
    return made && ::chmod(sandbox.Path(name).c_str(), mode) == 0 ? sandbox.Path(name) : "";
  };
  const std::string own = folder("run-own", 0700);
  const std::string foreign = folder("run-foreign", 0700, 65534);
  const std::string application = sandbox.AppData() + "/Dropwell";
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {  // runtime folder, lock's
      {std::nullopt, application}, {"", application}, {own, own}, {"run-own", application},  // relative
      {folder("run-shared", 01777), application}, {folder("run-group", 0770), application},
      {sandbox.Path("appdata/none"), application},
      {foreign.empty() ? sandbox.Path("appdata/none") : foreign, application}};
  for (const auto& [runtime, expected] : cases) {
    SCOPED_TRACE(runtime.value_or("(unset)"));
    testing::ScopedEnvironment environment("XDG_RUNTIME_DIR", runtime);
    PortableTransferAgentControl user;
    EXPECT_EQ(std::filesystem::path(user.LockFile()).parent_path().string(), expected);
    const std::unique_ptr<AgentMark> mark = user.TryAcquireMark();
    ASSERT_NE(mark, nullptr);
    EXPECT_EQ(testing::Mode(user.LockFile()), 0600u);
  }
}

// A lock file planted by someone else is neither opened through a link nor
// used when it is theirs: taking the mark fails, and no agent counts as
// running, however the planted file is locked.
TEST_F(PortableTransferAgentControlTest, APlantedLockFileIsNotUsed) {
  const std::string target = sandbox.Path("target");
  testing::WriteBytes(target, "kept");
  PortableTransferAgentControl holder(target);
  const std::unique_ptr<AgentMark> held = holder.TryAcquireMark();
  ASSERT_NE(held, nullptr);
  std::filesystem::create_symlink(target, sandbox.Path("linked.lock"));
  std::filesystem::create_symlink(sandbox.Path("made-through-the-link"), sandbox.Path("dangling.lock"));
  testing::WriteBytes(sandbox.Path("theirs.lock"), "");
  std::vector<std::string> planted = {"linked.lock", "dangling.lock"};
  if (::chown(sandbox.Path("theirs.lock").c_str(), 65534, static_cast<gid_t>(-1)) == 0) {
    planted.push_back("theirs.lock");
  }
  for (const std::string& name : planted) {
    PortableTransferAgentControl other(sandbox.Path(name));
    EXPECT_FALSE(other.IsRunning()) << name;
    EXPECT_TRUE(testing::ThrowsError(errc::kPermissionDenied, [&] { other.TryAcquireMark(); })) << name;
  }
  EXPECT_FALSE(std::filesystem::exists(sandbox.Path("made-through-the-link")));
  EXPECT_EQ(testing::ReadBytes(target), "kept");
  EXPECT_TRUE(std::filesystem::is_symlink(sandbox.Path("linked.lock")));
}

}  // namespace
}  // namespace dwl
