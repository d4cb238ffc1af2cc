#pragma once

#include <string>
#include <string_view>

namespace vornmark::server {

// Text from outside (processor names, and anything else a submission or a request carries) as it
// may stand in a page of ours: between tags or inside a double-quoted attribute value. The one way
// such text reaches HTML.
// - & < > " ' become character references, so the text can never close an element, an attribute
//   or a comment, nor open one;
// - ill-formed UTF-8 and control characters (C0, DEL, C1) become U+FFFD;
// - the line and paragraph separators (U+2028, U+2029) are written as references.
std::string html_escaped(std::string_view text);

// A query parameter's value for a link: every byte but the unreserved ones (letters, digits,
// "-._~") percent-encoded, so that spaces, "+", "&" and "#" survive the round trip. The result
// still goes through html_escaped where it is written.
std::string query_value(std::string_view text);

}  // namespace vornmark::server
