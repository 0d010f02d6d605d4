// Where the content of an HTML document's body starts. The markup is read as
// an HTML tokenizer reads it, so that "<body" inside a comment, a style or
// script block, a title or a quoted attribute value is not taken for the
// body tag, and a '>' inside quotes does not end a tag.
#pragma once

#include <cstddef>
#include <string_view>

namespace dwl::html {

// Right after the '>' of the first body start tag. Without one, when the
// document has an html start tag: right after the first "</head>" end tag,
// or else after that html start tag. Otherwise npos.
std::size_t BodyContentStart(std::string_view html);

}  // namespace dwl::html
