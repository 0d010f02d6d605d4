// The queue-file reader on any bytes: EmailQueue::ReadQueueFile and getEmails
// over a folder holding the file must agree, and a record read must survive
// RewriteQueueFile unchanged (with what the agent noted of each file). Then
// the writer: a record built from the input and queued with AddEmail must
// read back with the fields the queue file can hold, and without what the
// agent notes, which only its rewrites keep.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "fuzz/FuzzSupport.h"
#include "mail/EmailQueue.h"
#include "support/LineBreaks.h"

namespace dwl::fuzz {
namespace {

// Files in the sandbox that attachment paths may name.
const char* const kFiles[] = {"a.bin", "b.bin", "c.bin"};

// The folder that holds only the input's file, set up with the sandbox at
// the first call: the files to attach, and the agent counted as running, so
// queuing records no start.
const std::string& ReadingFolder() {
  static const std::string folder = [] {
    testing::TestPlatform& platform = Sandbox();
    for (const char* name : kFiles) testing::WriteBytes(platform.Path(name), name);
    platform.transferAgent.running = true;
    AppSettings::Instance()->RefreshSettings();
    std::filesystem::create_directories(platform.Path("reading"));
    return platform.Path("reading/");
  }();
  return folder;
}

// Every field a queue file holds, as text to compare and to show.
std::string Fields(const Email& email) {
  std::string text = "id=[" + Shown(email.get_ID()) + "] subject=[" + Shown(email.get_Subject()) +
                     "] created=" + (email.get_CreatedOnServer() ? "1" : "0") + " source=" +
                     email.get_EmailSource() + " password=[" + Shown(email.get_Password()) +
                     "] body=[" + Shown(email.get_Body()) + "] recipients=";
  for (const std::string& address : email.get_Recipients()) text += "[" + Shown(address) + "]";
  text += " attachments=";
  for (const auto& file : email.get_attachments()) {
    if (file == nullptr) {
      text += "(empty)";
      continue;
    }
    const auto noted = [](const auto& value) { return value ? std::to_string(*value) : std::string("-"); };
    text += "[" + Shown(file->get_ID()) + "|" + Shown(file->get_FilePath()) + "|" + noted(file->get_UploadSize()) +
            "@" + noted(file->get_UploadModified()) + "]";
  }
  return text;
}

// The record `read` gives, or none and the number of the error it throws.
std::pair<std::shared_ptr<Email>, long> Try(const std::function<std::shared_ptr<Email>()>& read) {
  try {
    return {read(), 0};
  } catch (const Error& failure) {
    return {nullptr, failure.Number()};
  }
}

// A body as it reads back: its lines (broken at CR LF, CR or LF), each ended by CR LF.
std::string BodyReadBack(const std::string& body) {
  std::string text;
  for (std::size_t start = 0;;) {
    const std::size_t end = body.find_first_of("\r\n", start);
    text += body.substr(start, end == std::string::npos ? end : end - start) + "\r\n";
    if (end == std::string::npos) return text;
    start = end + (body.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

void CheckReader(const std::string& bytes) {
  const std::string file = ReadingFolder() + "input.txt";
  testing::WriteBytes(file, bytes);
  const auto [direct, error] = Try([&] { return EmailQueue::ReadQueueFile(file); });
  EmailQueue queue;
  queue.setQueuePath(ReadingFolder());
  const auto listed = Try([&] {
    const std::vector<std::shared_ptr<Email>> emails = queue.getEmails();
    FUZZ_CHECK(emails.size() == 1, std::to_string(emails.size()) + " records from one file");
    return emails.front();
  });
  FUZZ_CHECK(error == listed.second,
             "ReadQueueFile threw " + std::to_string(error) + ", getEmails " + std::to_string(listed.second));
  if (direct == nullptr) return;
  FUZZ_CHECK(Fields(*direct) == Fields(*listed.first),
             "ReadQueueFile: " + Fields(*direct) + "\ngetEmails: " + Fields(*listed.first));

  // A rewritten record reads back as it was; a file without a body gains an
  // empty one (one line break).
  Email expected = *direct;
  if (expected.get_Body().empty()) expected.set_Body("\r\n");
  queue.RewriteQueueFile(*direct, file);
  const auto [again, againError] = Try([&] { return EmailQueue::ReadQueueFile(file); });
  FUZZ_CHECK(again != nullptr, "a rewritten queue file does not read: error " + std::to_string(againError));
  FUZZ_CHECK(Fields(*again) == Fields(expected),
             "read: " + Fields(expected) + "\nrewritten and read: " + Fields(*again));
}

// Queues `record` and reads it back; checks what the queue file kept.
void CheckWriter(const Email& record) {
  Email expected = record;
  expected.set_ID(OneLine(record.get_ID()));
  expected.set_Subject(OneLine(record.get_Subject()));
  expected.set_Password(OneLine(record.get_Password()));
  expected.set_Body(BodyReadBack(record.get_Body()));
  expected.DeleteAllRecipients();
  for (const std::string& address : record.get_Recipients()) expected.AddRecipient(OneLine(address));
  expected.DeleteAllAttachments();
  for (const auto& attachment : record.get_attachments()) {
    if (attachment == nullptr) continue;
    auto kept = std::make_shared<EmailAttachment>();
    kept->set_ID(OneLine(attachment->get_ID()));
    kept->set_FilePath(OneLine(attachment->get_FilePath()));
    if (kept->Exists()) expected.AddAttachment(kept);  // the reader leaves out missing files
  }

  EmailQueue queue;
  try {
    queue.AddEmail(std::make_shared<Email>(record));
  } catch (const Error& failure) {
    FUZZ_CHECK(failure.Number() == errc::kBadFileName, "AddEmail failed: " + failure.Description());
    FUZZ_CHECK(queue.getNumberOfEmails() == 0, "a refused record left a file");
    return;
  }
  const std::string path = AppSettings::Instance()->getMailQueueDirectory() + record.get_ID() + ".txt";
  const auto [read, error] = Try([&] { return EmailQueue::ReadQueueFile(path); });
  FUZZ_CHECK(read != nullptr, "a queued record does not read back: error " + std::to_string(error));
  FUZZ_CHECK(Fields(*read) == Fields(expected),
             "queued: " + Fields(record) + "\nexpected: " + Fields(expected) + "\nread: " + Fields(*read));
  queue.RemoveEmailWithID(record.get_ID());
  FUZZ_CHECK(queue.getNumberOfEmails() == 0, "the queue file stayed after its removal");
}

Email RecordOf(FuzzedDataProvider& input) {
  Email email;
  email.set_ID(input.ConsumeRandomLengthString(40));
  email.set_Subject(input.ConsumeRandomLengthString(100));
  email.set_CreatedOnServer(input.ConsumeBool());
  email.set_EmailSource(input.ConsumeIntegral<std::int32_t>());
  email.set_Password(input.ConsumeRandomLengthString(40));
  email.set_Body(input.ConsumeRandomLengthString(400));
  for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) email.AddRecipient(input.ConsumeRandomLengthString(60));
  for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i) {
    auto attachment = std::make_shared<EmailAttachment>();
    attachment->set_ID(input.ConsumeRandomLengthString(20));
    attachment->set_FilePath(input.ConsumeBool() ? Sandbox().Path(input.PickValueInArray(kFiles))
                                                 : input.ConsumeRandomLengthString(40));
    if (input.ConsumeBool()) {
      attachment->set_UploadSize(input.ConsumeIntegral<std::uint64_t>());
      attachment->set_UploadModified(input.ConsumeIntegral<std::int64_t>());
    }
    email.AddAttachment(attachment);
  }
  return email;
}

}  // namespace
}  // namespace dwl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dwl::fuzz;
  CheckReader(Text(data, size));
  FuzzedDataProvider input(data, size);
  CheckWriter(RecordOf(input));
  return 0;
}
