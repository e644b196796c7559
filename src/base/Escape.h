// Escaping of outside values (the items and path of a request's address) for
// the place a page writes them to. Each function answers text that, written
// into its place, reads back as exactly the value and can neither end that
// place nor open markup or script of its own. Letters, digits and the
// characters of ordinary addresses come out unchanged, so pages for ordinary
// requests stay byte for byte as they were.
//
//  EscapeHtmlText        between tags (also inside <pre>): "<" and ">"
//                        become "&lt;" and "&gt;"; an "&" becomes "&amp;"
//                        where an HTML parser would begin a character
//                        reference with it ("&#", "&name;", or a name that
//                        HTML reads even without its ";", such as "&copy").
//                        Every other "&" ("&sub=01" between URL items) is
//                        plain text to the parser and stays. Quotes stay.
//  EscapeHtmlAttribute   a quoted attribute value: as text, and also '"' and
//                        "'" become "&quot;" and "&#39;".
//  EncodeUrlInAttribute  a URL, or a part of one, inside an attribute:
//                        percent-encodes every byte (as %XX, hex in capitals)
//                        other than the unreserved ones (A-Z a-z 0-9 - . _ ~)
//                        and the delimiters the caller names, such as "&="
//                        for a query. '"', "'", "<" and ">" are encoded even
//                        when named; a named "&" is written as "&amp;" where
//                        it would begin a character reference. With no
//                        delimiters the answer is made of unreserved
//                        characters and "%" only, which is inert in every
//                        place: HTML text, any attribute, a URL, a script
//                        string.
//
// Bytes are handled one by one (8-bit text, UTF-8 passes unchanged except
// as said); NUL and other control bytes pass through the HTML functions,
// where they cannot open markup. Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace qil {

std::string EscapeHtmlText(std::string_view value);
std::string EscapeHtmlAttribute(std::string_view value);
std::string EncodeUrlInAttribute(std::string_view value, std::string_view delimiters = {});

}  // namespace qil
