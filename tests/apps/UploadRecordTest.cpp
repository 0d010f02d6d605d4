#include "apps/dwl/UploadRecord.h"

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "support/AppSettings.h"
#include "tests/TestPlatform.h"

namespace dwl::cli {
namespace {

class UploadRecordTest : public ::testing::Test {
 protected:
  UploadRecordTest() { AppSettings::Instance()->RefreshSettings(); }

  // An e-mail of these files as `dwl upload` makes it.
  std::shared_ptr<Email> Fresh(const std::vector<std::string>& paths) {
    auto email = std::make_shared<Email>();
    email->set_ID("NEW");
    for (const std::string& path : paths) {
      auto attachment = std::make_shared<EmailAttachment>();
      attachment->set_FilePath(path);
      email->AddAttachment(attachment);
    }
    return email;
  }

  testing::TestPlatform platform;
  const std::string a = platform.Path("a.bin");
  const std::string b = platform.Path("b.bin");
};

TEST_F(UploadRecordTest, TheSameFilesRunAgainResumeTheEarlierEMailAndItsFiles) {
  testing::WriteBytes(a, "first");
  testing::WriteBytes(b, "second");
  auto interrupted = Fresh({a, b});
  interrupted->set_ID("EARLIER");
  UploadRecord record({a, b});
  record.Save(*interrupted);
  EXPECT_FALSE(ThePlatform().files->FileExists(record.Path())) << "nothing on the server: nothing to keep";

  interrupted->set_CreatedOnServer(true);
  interrupted->get_attachments()[0]->set_ID("A1");
  interrupted->get_attachments()[0]->NoteUploadStart();
  record.Save(*interrupted);

  auto again = Fresh({a, b});
  ASSERT_TRUE(UploadRecord({a, b}).Resume(*again));
  EXPECT_EQ(again->get_ID(), "EARLIER");
  EXPECT_TRUE(again->get_CreatedOnServer());
  EXPECT_EQ(again->get_attachments()[0]->get_ID(), "A1");
  EXPECT_EQ(again->get_attachments()[0]->get_UploadSize(), 5u) << "a file changed since is sent afresh";
  EXPECT_EQ(again->get_attachments()[1]->get_ID(), "");

  auto other = Fresh({b, a});
  EXPECT_FALSE(UploadRecord({b, a}).Resume(*other)) << "other files, or another order: another e-mail";
  EXPECT_EQ(other->get_ID(), "NEW");

  record.Remove();
  EXPECT_FALSE(UploadRecord({a, b}).Resume(*Fresh({a, b})));
}

TEST_F(UploadRecordTest, ARecordThatCannotBeReadIsDropped) {
  UploadRecord record({a});
  auto email = Fresh({a});
  email->set_CreatedOnServer(true);
  record.Save(*email);
  testing::WriteBytes(record.Path(), "<AttachmentSize>\r\nmany\r\n</AttachmentSize>\r\n");
  EXPECT_FALSE(record.Resume(*email));
  EXPECT_EQ(email->get_ID(), "NEW") << "the e-mail stays new";
  EXPECT_FALSE(ThePlatform().files->FileExists(record.Path()));
}

}  // namespace
}  // namespace dwl::cli
