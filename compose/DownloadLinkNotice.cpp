#include "compose/DownloadLinkNotice.h"

#include "compose/HtmlBodyStart.h"

namespace dwl::notice {

namespace {

constexpr const char kLineBreak[] = "\r\n";
constexpr const char kStyle[] =
    "style=\"font-family: arial, helvetica, verdana; font-size: 10pt;\"";
static_assert(sizeof kStyle - 1 == 64);
const std::string kSeparator(60, '-');

}  // namespace

std::string Sentence(int attachments, bool extra) {
  std::string text = "There";
  text += attachments == 1 ? " is 1" : " are " + std::to_string(attachments);
  if (extra) text += " extra";
  text += " attachment";
  if (attachments > 1) text += "s";
  text += " linked to this e-mail:";
  text += kLineBreak;
  return text;
}

std::string Html(const std::string& sentence, const std::string& link) {
  std::string text = sentence;
  for (auto at = text.find(kLineBreak); at != std::string::npos; at = text.find(kLineBreak, at)) {
    text.replace(at, 2, "<br />");
  }
  return std::string("<div ") + kStyle + ">" + text + kLineBreak + "<a href=\"" + link + "\">" +
         link + "</a><br /><br />" + kSeparator + "<br /><br /></div>";
}

std::string Plain(const std::string& sentence, const std::string& link) {
  return sentence + link + kLineBreak + kLineBreak + kSeparator + kLineBreak + kLineBreak;
}

bool Restate(std::string& body, const std::string& earlierSentence, const std::string& earlierLink,
             const std::string& sentence, const std::string& link) {
  if (earlierLink.empty() || body.find(earlierLink) == std::string::npos) return false;
  for (auto at = body.find(earlierLink); at != std::string::npos;
       at = body.find(earlierLink, at + link.size())) {
    body.replace(at, earlierLink.size(), link);
  }
  if (const auto at = body.find(earlierSentence); !earlierSentence.empty() && at != std::string::npos) {
    body.replace(at, earlierSentence.size(), sentence);
  }
  return true;
}

std::string HtmlDocument(const std::string& content) {
  return std::string("<html><body ") + kStyle + ">" + content + "</body></html>";
}

std::size_t InsertionPoint(const std::string& html) { return html::BodyContentStart(html); }

}  // namespace dwl::notice
