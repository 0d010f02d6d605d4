#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "compose/DownloadLinkNotice.h"
#include "compose/MailProcessor.h"
#include "mail/Email.h"
#include "mail/EmailQueue.h"
#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

TEST(NoticeTest, TheSentenceCountsTheFiles) {
  EXPECT_EQ(notice::Sentence(1, false), "There is 1 attachment linked to this e-mail:\r\n");
  EXPECT_EQ(notice::Sentence(3, false), "There are 3 attachments linked to this e-mail:\r\n");
  EXPECT_EQ(notice::Sentence(1, true), "There is 1 extra attachment linked to this e-mail:\r\n");
  EXPECT_EQ(notice::Sentence(2, true), "There are 2 extra attachments linked to this e-mail:\r\n");
}

class SendTest : public ::testing::Test {
 protected:
  explicit SendTest(const std::string& version = "11.0.8217") : host(version) {}
  void SetUp() override {
    host.ConnectAddIn();
    window = host.outlook->Open("m1", sim::SimOutlook::ItemKind::Mail, false, true);
    mail = window->Mail();
    processor = frmAddIn::Instance()->Slot(0);
  }
  void AddFiles(int count) {
    for (int i = 0; i < count; ++i) {
      const std::string path = host.platform.Path("file" + std::to_string(i) + ".bin");
      testing::WriteBytes(path, std::string(100 + i, 'x'));
      processor->AddAttachment(path);
    }
  }
  std::string Link() {
    return AppSettings::Instance()->getFileDownloadUrl() + processor->GetEmail()->get_ID();
  }
  std::vector<std::string> QueueFiles() {
    std::vector<std::string> names;
    for (const auto& entry :
         std::filesystem::directory_iterator(AppSettings::Instance()->getMailQueueDirectory())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  testing::SimHost host;
  std::shared_ptr<sim::SimInspector> window;
  std::shared_ptr<sim::SimMailItem> mail;
  std::shared_ptr<MailProcessor> processor;
};

TEST_F(SendTest, WithoutFilesTheMessageGoesAsWritten) {
  mail->body = "as written";
  host.outlook->Send("m1");
  EXPECT_EQ(mail->body, "as written");
  EXPECT_EQ(mail->saves, 0);
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_TRUE(host.transferAgent.commandLines.empty());
  EXPECT_TRUE(mail->sent);
}

TEST_F(SendTest, AnHtmlBodyWithoutBodyTagIsWrapped) {
  AddFiles(1);
  mail->htmlBody = "<p>fragment</p>";
  mail->bodyFormat = sim::kFormatPlain;
  host.outlook->Send("m1");
  EXPECT_EQ(mail->htmlBody, notice::HtmlDocument(notice::Html(notice::Sentence(1, false), Link()) +
                                                 "<p>fragment</p>"));
  EXPECT_EQ(mail->bodyFormat, sim::kFormatHTML) << "version 11 sends it as HTML";
}

TEST_F(SendTest, AnEmptyMessageGetsTheNoticeAlone) {
  AddFiles(1);
  host.outlook->Send("m1");
  EXPECT_EQ(mail->htmlBody, notice::HtmlDocument(notice::Html(notice::Sentence(1, false), Link())));
  EXPECT_EQ(mail->body, "");
}

class SendVersion10Test : public SendTest {
 protected:
  SendVersion10Test() : SendTest("10.0.2627") {}
};

TEST_F(SendVersion10Test, TheBodyFormatIsLeftAlone) {
  AddFiles(1);
  mail->htmlBody = "<body>x</body>";
  mail->bodyFormat = sim::kFormatPlain;
  host.outlook->Send("m1");
  EXPECT_EQ(mail->bodyFormat, sim::kFormatPlain);
  EXPECT_NE(mail->htmlBody.find("There is 1 attachment"), std::string::npos);
}

// Another add-in (or the host) cancels the send after our handler ran; the
// writer changes the message and sends it again.
TEST_F(SendTest, ASecondSendIsANewEmailWithOneNoticeAndTheFinalRecipients) {
  for (const std::string& html : {std::string(), std::string("<html><body><p>Hi</p></body></html>")}) {
    SCOPED_TRACE(html.empty() ? "plain" : "html");
    const std::string name = "m" + std::to_string(frmAddIn::Instance()->SlotCount() + 1);
    const auto sending = host.outlook->Open(name, sim::SimOutlook::ItemKind::Mail, false, true);
    processor = frmAddIn::Instance()->Slot(std::stoi(sending->Mail()->mileage));
    mail = sending->Mail();
    mail->body = "Hi";
    mail->htmlBody = html;
    mail->to = {"a@example.org", "b@example.org"};
    AddFiles(1);
    auto veto = mail->OnSend([](bool& cancel) { cancel = true; });
    host.outlook->Send(name);
    ASSERT_FALSE(mail->sent);
    const std::string first = processor->GetEmail()->get_ID();
    const std::string firstFile = AppSettings::Instance()->getMailQueueDirectory() + first + ".txt";
    const std::string firstQueued = testing::ReadBytes(firstFile);

    veto.Disconnect();
    mail->to = {"a@example.org", "c@example.org"};
    mail->cc = {"A@example.org"};
    processor->RemoveAllAttachments();
    AddFiles(2);
    host.outlook->Send(name);
    ASSERT_TRUE(mail->sent);
    EXPECT_TRUE(host.outlook->TakeHostErrors().empty());

    const std::string body = html.empty() ? mail->body : mail->htmlBody;
    EXPECT_NE(processor->GetEmail()->get_ID(), first) << "the first may be on its way already";
    EXPECT_EQ(body.find(first), std::string::npos);
    EXPECT_NE(body.find(Link()), std::string::npos);
    EXPECT_EQ(body.find("linked to this e-mail"), body.rfind("linked to this e-mail")) << body;
    EXPECT_NE(body.find("There are 2 attachments"), std::string::npos) << body;
    EXPECT_EQ(testing::ReadBytes(firstFile), firstQueued) << "the first e-mail is left as queued";

    std::shared_ptr<Email> queued;
    for (const auto& email : EmailQueue::Instance()->getEmails()) {
      if (email->get_ID() == processor->GetEmail()->get_ID()) queued = email;
    }
    ASSERT_NE(queued, nullptr);
    EXPECT_EQ(queued->get_Recipients(), (std::vector<std::string>{"a@example.org", "c@example.org"}));
    EXPECT_EQ(queued->NumberOfAttachments(), 2);
  }
}

TEST_F(SendTest, AFailedFinalSaveQueuesNothingAndTellsTheUser) {
  AddFiles(1);
  mail->body = "text";
  mail->failOnSave = 2;  // the first save works; the notice's save fails
  mail->failReason = "the store is full";
  host.outlook->Send("m1");
  const auto errors = host.outlook->TakeHostErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].Description(), "the store is full");
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_TRUE(host.transferAgent.commandLines.empty());
  ASSERT_EQ(host.platform.alerts.shown.size(), 1u);
  EXPECT_EQ(host.platform.alerts.shown[0].text,
            "The Dropwell files of this message could not be queued: the store is full");
  EXPECT_TRUE(mail->sent) << "the host sends the message anyway";
  const auto log = host.LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "objMailItem_Send:02:the store is full, 440"), log.end());
}

TEST_F(SendTest, AQueueThatCannotBeWrittenIsToldToo) {
  AddFiles(1);
  mail->body = "text";
  std::filesystem::remove_all(AppSettings::Instance()->getMailQueueDirectory());
  testing::WriteBytes(AppSettings::Instance()->getMailQueueDirectory().substr(
                          0, AppSettings::Instance()->getMailQueueDirectory().size() - 1),
                      "a file where the queue folder should be");
  host.outlook->Send("m1");
  EXPECT_EQ(host.outlook->TakeHostErrors().size(), 1u);
  ASSERT_EQ(host.platform.alerts.shown.size(), 1u);
  EXPECT_EQ(host.platform.alerts.shown[0].text.rfind("The Dropwell files of this message could not be queued: ", 0), 0u);
  EXPECT_NE(mail->body.find("There is 1 attachment"), std::string::npos)
      << "the notice is in the message: exactly why the user must hear of it";
}

TEST_F(SendTest, WithoutTheSafeMailItemNothingIsWrittenOrQueued) {
  AddFiles(1);
  host.objects.safeMailItemInstalled = false;
  mail->body = "untouched";
  host.outlook->Send("m1");
  EXPECT_EQ(host.outlook->TakeHostErrors().size(), 1u);
  EXPECT_EQ(mail->body, "untouched");
  EXPECT_TRUE(QueueFiles().empty());
  EXPECT_EQ(host.platform.alerts.shown.size(), 1u);
}

}  // namespace
}  // namespace dwl
