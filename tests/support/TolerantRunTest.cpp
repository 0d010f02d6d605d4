#include "support/TolerantRun.h"

#include <gtest/gtest.h>

#include <vector>

namespace dwl {
namespace {

TEST(TolerantRunTest, RunsEveryStepAndLogsTheFirstFailureAtTheCheckpoint) {
  std::vector<std::string> log;
  TolerantRun run("moInspectors_NewInspector", [&](const std::string& line) { log.push_back(line); });
  int ran = 0;
  EXPECT_FALSE(run.Run([&] { ++ran; throw Error(91, "frmAddIn", "Object variable not set"); }));
  EXPECT_FALSE(run.Run([&] { ++ran; throw Error(13, "frmAddIn", "Type mismatch"); }));
  EXPECT_TRUE(run.Run([&] { ++ran; }));
  EXPECT_EQ(ran, 3);
  ASSERT_TRUE(run.HasPending());
  EXPECT_EQ(run.Pending()->Number(), 91);

  run.Checkpoint(2);
  EXPECT_FALSE(run.HasPending());
  run.Checkpoint(3);  // nothing pending: nothing logged
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "moInspectors_NewInspector:02:Object variable not set, 91");

  run.Run([] { throw Error(5, "x", "Invalid procedure call"); });
  run.Checkpoint(12);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1], "moInspectors_NewInspector:12:Invalid procedure call, 5");
}

TEST(TolerantRunTest, AnyExceptionBecomesAnErrorAndAFailingLogSinkDoesNotEscape) {
  TolerantRun quiet("op");
  quiet.Run([] { throw std::runtime_error("boom"); });
  ASSERT_TRUE(quiet.HasPending());
  EXPECT_EQ(quiet.Pending()->Number(), errc::kUnknown);
  EXPECT_EQ(quiet.Pending()->Description(), "boom");

  TolerantRun failing("op", [](const std::string&) { throw Error(61, "log", "Disk full"); });
  failing.Run([] { throw Error(53, "x", "File not found"); });
  EXPECT_NO_THROW(failing.Checkpoint(1));
  EXPECT_FALSE(failing.HasPending());
}

}  // namespace
}  // namespace dwl
