#include "platform/portable/PortableTransferAgentControl.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

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

}  // namespace
}  // namespace dwl
