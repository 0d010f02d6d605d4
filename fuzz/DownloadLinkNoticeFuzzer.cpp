// The download-link notice in any HTML. Where notice::InsertionPoint points
// is checked by what must hold of it: right after the '>' of a body or html
// start tag or a </head> end tag, read back from its '<' attribute by
// attribute; a whole document's own <body> keeps it whatever follows; a
// <body> after a comment, a quoted attribute value or a style block holding
// the input is the one found. The notice inserted there leaves the point
// where it was; HTML without one, wrapped in a document, lies at the
// document's own point. Then the whole Send path: a compose window of the
// simulated Outlook with files and the input as its HTML body is sent, and
// the message must hold exactly the notice in the HTML, and the queue
// exactly its record.
//
// Input: the first byte picks the files (1 to 3), whether the message has
// host attachments and a plain-text body; the rest is the HTML body.
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "compose/DownloadLinkNotice.h"
#include "compose/MailProcessor.h"
#include "fuzz/FuzzSupport.h"
#include "mail/EmailQueue.h"
#include "tests/addin/SimHost.h"

namespace dwl::fuzz {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Past the '>' that ends the tag whose name ends at or after `from`, read
// state by state as the HTML tokenizer reads it, or npos.
std::size_t TagEnd(const std::string& html, std::size_t from) {
  enum { kName, kBetween, kAttribute, kAfterAttribute, kBeforeValue, kQuoted, kUnquoted };
  int state = kName;
  char quote = 0;
  for (std::size_t i = from; i < html.size(); ++i) {
    const char c = html[i];
    if (state == kQuoted) {
      if (c == quote) state = kBetween;
    } else if (state == kBeforeValue && (c == '"' || c == '\'')) {
      quote = c;
      state = kQuoted;
    } else if (c == '>') {
      return i + 1;
    } else if (state == kBeforeValue) {
      if (!IsBlank(c)) state = kUnquoted;
    } else if (state == kUnquoted) {
      if (IsBlank(c)) state = kBetween;
    } else if (c == '/') {
      state = kBetween;
    } else if (IsBlank(c)) {
      if (state == kName) state = kBetween;
      if (state == kAttribute) state = kAfterAttribute;
    } else if (c == '=' && (state == kAttribute || state == kAfterAttribute)) {
      state = kBeforeValue;
    } else if (state == kBetween || state == kAfterAttribute) {
      state = kAttribute;
    }
  }
  return std::string::npos;
}

// Whether the tag that ends just before `at` is a body or html start tag or
// a </head> end tag: one of the '<' before it starts such a tag that ends there.
bool FollowsABodyHtmlOrHeadTag(const std::string& html, std::size_t at) {
  if (at == 0 || html[at - 1] != '>') return false;
  std::string upTo = html.substr(0, at);
  for (char& c : upTo) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::size_t open = upTo.rfind('<'); open != std::string::npos;
       open = open == 0 ? std::string::npos : upTo.rfind('<', open - 1)) {
    for (const std::string_view tag : {"<body", "<html", "</head"}) {
      const std::size_t end = open + tag.size();
      if (end < upTo.size() && upTo.compare(open, tag.size(), tag) == 0 &&
          (IsBlank(upTo[end]) || upTo[end] == '/' || upTo[end] == '>') && TagEnd(upTo, end) == at) {
        return true;
      }
    }
  }
  return false;
}

// The HTML body after the notice went in, as the Send handler builds it.
std::string WithNotice(const std::string& html, const std::string& notice) {
  const std::size_t at = notice::InsertionPoint(html);
  if (at == std::string::npos) return notice::HtmlDocument(notice + html);
  return html.substr(0, at) + notice + html.substr(at);
}

void CheckInsertion(const std::string& html) {
  const std::size_t at = notice::InsertionPoint(html);
  FUZZ_CHECK(at == std::string::npos || FollowsABodyHtmlOrHeadTag(html, at),
             "insertion point " + std::to_string(at) + " in " + Shown(html));
  const std::string document = "<html><HEAD><Title>x</TITLE></Head><BODY>";
  FUZZ_CHECK(notice::InsertionPoint(document + html) == document.size(),
             "a document's own body tag missed before " + Shown(html));
  // A <body> after markup that holds the input: the markup ends where it should.
  std::vector<std::string> hidden;
  if (html.find("--") == std::string::npos && !html.starts_with(">") && !html.starts_with("->")) {
    hidden.insert(hidden.end(), {"<!--" + html + "-->", "<!--" + html + "--!>"});
  }
  if (html.find('"') == std::string::npos) {
    hidden.insert(hidden.end(), {"<p title=\"" + html + "\">", "</p title=\"" + html + "\">"});
  }
  if (html.find('>') == std::string::npos && !html.starts_with("--")) {
    hidden.insert(hidden.end(), {"<!" + html + ">", "<?" + html + ">"});
  }
  if (html.find("</") == std::string::npos) hidden.push_back("<style>" + html + "</style>");
  for (const std::string& before : hidden) {
    FUZZ_CHECK(notice::InsertionPoint(before + "<body>") == before.size() + 6,
               "the <body> after " + Shown(before) + " missed");
  }
  // Without a body of its own, the HTML goes after a head put before it.
  const std::string head = "<html><head></head>";
  FUZZ_CHECK(at != std::string::npos || notice::InsertionPoint(head + html) == head.size(),
             "not after the head in " + Shown(head + html));

  const std::string html1 = notice::Html(notice::Sentence(2, false), "http://dl.example/?e=X");
  const std::string built = WithNotice(html, html1);
  if (at == std::string::npos) {
    const std::string empty = notice::HtmlDocument("");
    const std::size_t inDocument = notice::InsertionPoint(empty);
    FUZZ_CHECK(inDocument != std::string::npos &&
                   built == empty.substr(0, inDocument) + html1 + html + empty.substr(inDocument),
               "wrapped: " + Shown(built));
    FUZZ_CHECK(notice::InsertionPoint(built) == inDocument, "the wrapper's body tag moved");
    return;
  }
  FUZZ_CHECK(notice::InsertionPoint(built) == at, "the notice moved the insertion point");
}

// A simulated Outlook with the add-in connected, its log quiet, and three
// files to attach. The host keeps every window and sent mail, so it is made
// anew now and then.
struct Host {
  Host() {
    ApplicationLog::ReleaseInstance();  // the next log writes through the quiet files
    sim.ConnectAddIn();
    for (int i = 0; i < 3; ++i) testing::WriteBytes(File(i), std::string(100 + i, 'x'));
  }
  std::string File(int i) { return sim.platform.Path("file" + std::to_string(i) + ".bin"); }
  static constexpr int kSendsPerHost = 500;

  testing::SimHost sim;
  QuietLog quiet{sim.platform.Module()};
  int sends = 0;
};

Host* host = nullptr;

void CheckSend(std::uint8_t flags, const std::string& html) {
  if (host == nullptr || host->sends == Host::kSendsPerHost) {
    delete host;
    host = new Host;
    // Ends the host before the process-wide objects it releases end.
    [[maybe_unused]] static const int registered = std::atexit([] {
      delete host;
      host = nullptr;
    });
  }
  const std::string name = "m" + std::to_string(++host->sends);
  sim::SimOutlook& outlook = *host->sim.outlook;
  const auto mail = outlook.Open(name, sim::SimOutlook::ItemKind::Mail, false, true)->Mail();
  const auto processor = frmAddIn::Instance()->Slot(frmAddIn::Instance()->SlotCount() - 1);
  FUZZ_CHECK(processor != nullptr, "no processor for the new window");
  const int files = 1 + flags % 3;
  for (int i = 0; i < files; ++i) processor->AddAttachment(host->File(i));
  mail->hostAttachments = (flags & 0x04) ? 1 : 0;
  mail->htmlBody = html;
  if (flags & 0x08) mail->body = "Hello,\r\nsee the files.";
  const std::string oldBody = mail->body;

  outlook.Send(name);
  const std::vector<Error> errors = outlook.TakeHostErrors();
  FUZZ_CHECK(errors.empty(), "Send failed: " + errors.front().Description());
  FUZZ_CHECK(mail->sent, "the mail was not sent");

  const std::string id = processor->GetEmail()->get_ID();
  const std::string link = AppSettings::Instance()->getFileDownloadUrl() + id;
  const std::string sentence = notice::Sentence(files, mail->hostAttachments > 0);
  if (!oldBody.empty() && html.empty()) {
    FUZZ_CHECK(mail->body == notice::Plain(sentence, link) + oldBody, "body " + Shown(mail->body));
  } else {
    const std::string expected = WithNotice(html, notice::Html(sentence, link));
    FUZZ_CHECK(mail->htmlBody == expected,
               "HTML body\n" + Shown(mail->htmlBody) + "\nexpected\n" + Shown(expected));
  }

  const std::shared_ptr<EmailQueue> queue = EmailQueue::Instance();
  const std::vector<std::shared_ptr<Email>> queued = queue->getEmails();
  FUZZ_CHECK(queued.size() == 1 && queued.front() != nullptr && queued.front()->get_ID() == id &&
                 queued.front()->NumberOfAttachments() == files,
             std::to_string(queued.size()) + " queued records");
  queue->RemoveEmailWithID(id);
  outlook.Close(name);
}

}  // namespace
}  // namespace dwl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dwl::fuzz;
  if (size == 0) return 0;
  const std::string html = Text(data + 1, size - 1);
  CheckInsertion(html);
  CheckSend(data[0], html);
  return 0;
}
