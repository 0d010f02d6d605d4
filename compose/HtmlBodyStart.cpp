#include "compose/HtmlBodyStart.h"

#include <array>

namespace dwl::html {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// The elements whose content is text up to their end tag.
constexpr std::array<std::string_view, 8> kRawText = {
    "script", "style", "title", "textarea", "xmp", "iframe", "noembed", "noframes"};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Tag names are ASCII-case-insensitive; `lowered` is in lower case.
bool SameName(std::string_view name, std::string_view lowered) {
  if (name.size() != lowered.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lowered[i]) return false;
  }
  return true;
}

bool At(std::string_view html, std::size_t at, std::string_view text) {
  return at <= html.size() && html.substr(at, text.size()) == text;
}

std::size_t Past(std::string_view html, std::size_t at, char c) {
  const std::size_t found = html.find(c, at);
  return found == npos ? npos : found + 1;
}

// Past the '>' that ends a tag whose attributes start at `at`, npos when it
// never ends. A quote opens a value only where the value starts; elsewhere
// it belongs to a name or an unquoted value.
std::size_t TagEnd(std::string_view html, std::size_t at) {
  const std::size_t size = html.size();
  std::size_t i = at;
  while (i < size) {
    if (html[i] == '>') return i + 1;
    if (IsSpace(html[i]) || html[i] == '/') {
      ++i;
      continue;
    }
    ++i;  // a name's first character may be anything else, even '=' or a quote
    while (i < size && !IsSpace(html[i]) && html[i] != '/' && html[i] != '>' && html[i] != '=') ++i;
    while (i < size && IsSpace(html[i])) ++i;
    if (i == size || html[i] != '=') continue;
    ++i;
    while (i < size && IsSpace(html[i])) ++i;
    if (i < size && (html[i] == '"' || html[i] == '\'')) {
      i = Past(html, i + 1, html[i]);
      if (i == npos) return npos;
    } else {
      while (i < size && !IsSpace(html[i]) && html[i] != '>') ++i;
    }
  }
  return npos;
}

// Past a comment whose text starts at `at`. "<!-->" and "<!--->" are
// comments already closed; "--!>" closes one as "-->" does.
std::size_t CommentEnd(std::string_view html, std::size_t at) {
  if (At(html, at, ">")) return at + 1;
  if (At(html, at, "->")) return at + 2;
  for (std::size_t dashes = html.find("--", at); dashes != npos;
       dashes = html.find("--", dashes + 1)) {
    if (At(html, dashes + 2, ">")) return dashes + 3;
    if (At(html, dashes + 2, "!>")) return dashes + 4;
  }
  return npos;
}

// The '<' of the end tag that closes raw text starting at `at`.
std::size_t RawTextEnd(std::string_view html, std::size_t at, std::string_view name) {
  for (std::size_t i = html.find("</", at); i != npos; i = html.find("</", i + 2)) {
    const std::size_t after = i + 2 + name.size();
    if (after < html.size() && SameName(html.substr(i + 2, name.size()), name) &&
        (IsSpace(html[after]) || html[after] == '/' || html[after] == '>')) {
      return i;
    }
  }
  return npos;
}

}  // namespace

std::size_t BodyContentStart(std::string_view html) {
  std::size_t afterHtml = npos;
  std::size_t afterHead = npos;
  std::size_t i = html.find('<');
  while (i != npos) {
    const bool endTag = At(html, i, "</");
    const std::size_t nameAt = endTag ? i + 2 : i + 1;
    std::size_t next = npos;
    if (At(html, i, "<!--")) {
      next = CommentEnd(html, i + 4);
    } else if (At(html, i, "<!") || At(html, i, "<?") ||
               (endTag && nameAt < html.size() && !IsLetter(html[nameAt]))) {
      next = Past(html, nameAt, '>');  // a declaration or a bogus comment
    } else if (nameAt < html.size() && IsLetter(html[nameAt])) {
      std::size_t nameEnd = nameAt;
      while (nameEnd < html.size() && !IsSpace(html[nameEnd]) && html[nameEnd] != '/' &&
             html[nameEnd] != '>') {
        ++nameEnd;
      }
      const std::string_view name = html.substr(nameAt, nameEnd - nameAt);
      next = TagEnd(html, nameEnd);
      if (next == npos) break;
      if (endTag) {
        if (afterHead == npos && SameName(name, "head")) afterHead = next;
      } else if (SameName(name, "body")) {
        return next;
      } else if (afterHtml == npos && SameName(name, "html")) {
        afterHtml = next;
      } else if (SameName(name, "plaintext")) {
        break;
      } else {
        for (const std::string_view raw : kRawText) {
          if (SameName(name, raw)) next = RawTextEnd(html, next, raw);
        }
      }
    } else {
      next = i + 1;  // a '<' that starts no markup is text
    }
    i = next == npos ? npos : html.find('<', next);
  }
  if (afterHtml == npos) return npos;
  return afterHead != npos ? afterHead : afterHtml;
}

}  // namespace dwl::html
