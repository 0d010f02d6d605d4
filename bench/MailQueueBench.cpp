// The mail queue as the folder grows: reading every queue file, the size of
// the queued attachments, and the most recent e-mail (a read and one
// creation time per file). Each should grow linearly with the queue.
#include <benchmark/benchmark.h>

#include <fstream>

#include "bench/BenchPlatform.h"
#include "mail/EmailQueue.h"

namespace {

using dwl::bench::Installed;

// The settings' queue folder holding `count` queue files, each with two
// attachments and two recipients, as the add-in writes them.
class FilledQueue {
 public:
  explicit FilledQueue(int count) {
    auto settings = dwl::AppSettings::Instance();
    settings->RefreshSettings();
    queue = dwl::EmailQueue::Instance();
    queue->RemoveAllEmails();
    const std::string folder = dwl::bench::ScratchFolder().string() + "/";
    for (const char* name : {"report.pdf", "photos.zip"}) {
      std::ofstream(folder + name) << std::string(4096, 'x');
    }
    for (int i = 0; i < count; ++i) {
      auto email = std::make_shared<dwl::Email>();
      email->set_ID("00000000-0000-0000-0000-" + std::to_string(100000000000 + i));
      email->set_Subject("Quarterly figures");
      email->set_Password("s3cret pass");
      email->set_Body("Hello,\r\n\r\nthe files are on their way.\r\n");
      for (const char* name : {"report.pdf", "photos.zip"}) {
        auto attachment = std::make_shared<dwl::EmailAttachment>();
        attachment->set_FilePath(folder + name);
        email->AddAttachment(attachment);
      }
      email->AddRecipient("to@example.org");
      email->AddRecipient("cc@example.org");
      queue->AddEmail(email);
    }
    queue->getEmails();  // as after the add-in's last read, which Size keeps to
  }
  ~FilledQueue() {
    queue->RemoveAllEmails();
    queue.reset();
    dwl::EmailQueue::ReleaseInstance();
    dwl::AppSettings::ReleaseInstance();
    dwl::ApplicationLog::ReleaseInstance();
  }

  std::shared_ptr<dwl::EmailQueue> queue;
};

// Times `operation` on a queue of state.range(0) files.
template <class Operation>
void OnFilledQueue(benchmark::State& state, Operation operation) {
  Installed platform;
  FilledQueue filled(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(operation(*filled.queue));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReadQueue(benchmark::State& state) {
  OnFilledQueue(state, [](dwl::EmailQueue& queue) { return queue.getEmails(); });
}
BENCHMARK(BM_ReadQueue)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_QueueSize(benchmark::State& state) {
  OnFilledQueue(state, [](dwl::EmailQueue& queue) { return queue.Size(); });
}
BENCHMARK(BM_QueueSize)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_MostRecentEmail(benchmark::State& state) {
  OnFilledQueue(state, [](dwl::EmailQueue& queue) { return queue.MostRecentEmail(); });
}
BENCHMARK(BM_MostRecentEmail)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
