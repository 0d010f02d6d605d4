// The Send handler in the simulated Outlook. The notice in the message for
// each kind of body, the queue file and a message without files are in the
// dwl sim scenarios (tests/sim/compose, bodies, version10, nofiles); here,
// a second Send and what goes wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "compose/MailProcessor.h"
#include "mail/Email.h"
#include "mail/EmailQueue.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

class SendTest : public ::testing::Test {
 protected:
  void SetUp() override { host.ConnectAddIn(); }
  // A new compose window with `files` files of its own, the message `body`.
  void Open(const std::string& name, int files) {
    mail = host.outlook->Open(name, sim::SimOutlook::ItemKind::Mail, false, true)->Mail();
    processor = frmAddIn::Instance()->Slot(std::stoi(mail->mileage));
    for (int i = 0; i < files; ++i) {
      const std::string path = host.platform.Path(name + "-" + std::to_string(i) + ".bin");
      testing::WriteBytes(path, std::string(100 + i, 'x'));
      processor->AddAttachment(path);
    }
    mail->body = "Hi";
  }
  std::string QueueFile(const std::string& id) {
    return AppSettings::Instance()->getMailQueueDirectory() + id + ".txt";
  }

  testing::SimHost host;
  std::shared_ptr<sim::SimMailItem> mail;
  std::shared_ptr<MailProcessor> processor;
};

// Another add-in (or the host) cancels the send after our handler ran; the
// writer changes the message and sends it again.
TEST_F(SendTest, ASecondSendIsANewEmailWithOneNoticeAndTheFinalRecipients) {
  for (const std::string& html : {std::string(), std::string("<html><body><p>Hi</p></body></html>")}) {
    SCOPED_TRACE(html.empty() ? "plain" : "html");
    const std::string name = html.empty() ? "plain" : "html";
    Open(name, 1);
    mail->htmlBody = html;
    mail->to = {"a@example.org", "b@example.org"};
    auto veto = mail->OnSend([](bool& cancel) { cancel = true; });
    host.outlook->Send(name);
    ASSERT_FALSE(mail->sent);
    const std::string first = processor->GetEmail()->get_ID();
    const std::string firstQueued = testing::ReadBytes(QueueFile(first));

    veto.Disconnect();
    mail->to = {"a@example.org", "c@example.org"};
    mail->cc = {"A@example.org"};  // the same address
    processor->RemoveAllAttachments();
    processor->AddAttachment(host.platform.Path(name + "-0.bin"));
    processor->AddAttachment(host.platform.Path(name + "-0.bin"));
    host.outlook->Send(name);
    ASSERT_TRUE(mail->sent);
    EXPECT_TRUE(host.outlook->TakeHostErrors().empty());

    const std::string second = processor->GetEmail()->get_ID();
    const std::string body = html.empty() ? mail->body : mail->htmlBody;
    EXPECT_NE(second, first) << "the first may be on its way already";
    EXPECT_EQ(body.find(first), std::string::npos);
    EXPECT_NE(body.find(second), std::string::npos);
    EXPECT_EQ(body.find("linked to this e-mail"), body.rfind("linked to this e-mail")) << body;
    EXPECT_NE(body.find("There are 2 attachments"), std::string::npos) << body;
    EXPECT_EQ(testing::ReadBytes(QueueFile(first)), firstQueued) << "the first e-mail is left as queued";
    const auto queued = EmailQueue::ReadQueueFile(QueueFile(second));
    EXPECT_EQ(queued->get_Recipients(), (std::vector<std::string>{"a@example.org", "c@example.org"}));
    EXPECT_EQ(queued->NumberOfAttachments(), 2);
  }
}

// The host sends the message anyway: the user must hear that its files
// will not follow.
TEST_F(SendTest, AFailureQueuesNothingAndTellsTheUser) {
  struct Fault {
    const char* what;
    std::function<void()> make;
    bool notice;  // whether the message holds the notice all the same
  };
  const std::string queue = AppSettings::Instance()->getMailQueueDirectory();
  const Fault faults[] = {
      {"the notice's save fails", [&] { mail->failOnSave = 2; }, true},
      {"no safe mail item", [&] { host.objects.safeMailItemInstalled = false; }, false},
      {"the queue cannot be written",
       [&] {
         host.objects.safeMailItemInstalled = true;
         std::filesystem::remove_all(queue);
         testing::WriteBytes(queue.substr(0, queue.size() - 1), "a file where the queue folder should be");
       },
       true},
  };
  int n = 0;
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    const std::string name = "m" + std::to_string(++n);
    Open(name, 1);
    fault.make();
    host.outlook->Send(name);
    EXPECT_EQ(host.outlook->TakeHostErrors().size(), 1u);
    EXPECT_EQ(host.platform.alerts.shown.size(), static_cast<std::size_t>(n)) << "one alert each";
    EXPECT_TRUE(mail->sent);
    EXPECT_EQ(mail->body.find("attachment linked") != std::string::npos, fault.notice) << mail->body;
    EXPECT_TRUE(testing::FileNames(queue).empty());
    EXPECT_TRUE(host.transferAgent.commandLines.empty());
  }
}

}  // namespace
}  // namespace dwl
