// Escaping of text placed into HTML or XML. Pure function, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace vendrix {

// `text` with &, <, >, " and ' written as character references: safe as element text and
// inside a quoted attribute of HTML and XML alike. Bytes of GBK and UTF-8 multi-byte characters
// never take these values, so it works on either.
std::string EscapeMarkup(std::string_view text);

}  // namespace vendrix
