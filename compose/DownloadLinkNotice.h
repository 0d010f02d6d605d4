// The notice that tells the recipients where to fetch the files sent
// through the service: a sentence and the download link, as plain text or
// HTML, and where it goes into an HTML body.
#pragma once

#include <cstddef>
#include <string>

namespace dwl::notice {

// "There is 1 attachment linked to this e-mail:" and its kin, with a CR LF.
std::string Sentence(int attachments, bool extra);
// The HTML notice for `sentence` and `link`.
std::string Html(const std::string& sentence, const std::string& link);
// The plain-text notice, to stand before the old body.
std::string Plain(const std::string& sentence, const std::string& link);
// Turns the notice of an earlier send of the same message into the notice
// of this one: every `earlierLink` in `body` becomes `link`, and the first
// `earlierSentence` becomes `sentence` (both without their line break).
// False, and `body` untouched, when the earlier link is not there (the
// writer removed the notice).
bool Restate(std::string& body, const std::string& earlierSentence, const std::string& earlierLink,
             const std::string& sentence, const std::string& link);
// A whole HTML document holding `content`.
std::string HtmlDocument(const std::string& content);
// Where the notice goes in `html`: where the body's content starts
// (html::BodyContentStart), or npos when the HTML has neither a body nor an
// html start tag, and must be wrapped in a document of its own.
std::size_t InsertionPoint(const std::string& html);

}  // namespace dwl::notice
