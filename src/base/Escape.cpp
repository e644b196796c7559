#include "base/Escape.h"

namespace qil {

namespace {

// The character references that HTML reads without their closing ";" (the
// Latin-1 names of old pages and the upper-case forms of a few). Any other
// name needs its ";" to be read as a reference.
constexpr std::string_view kNamesWithoutSemicolon =
    " AElig AMP Aacute Acirc Agrave Aring Atilde Auml COPY Ccedil ETH Eacute Ecirc Egrave Euml GT"
    " Iacute Icirc Igrave Iuml LT Ntilde Oacute Ocirc Ograve Oslash Otilde Ouml QUOT REG THORN"
    " Uacute Ucirc Ugrave Uuml Yacute aacute acirc acute aelig agrave amp aring atilde auml brvbar"
    " ccedil cedil cent copy curren deg divide eacute ecirc egrave eth euml frac12 frac14 frac34 gt"
    " iacute icirc iexcl igrave iquest iuml laquo lt macr micro middot nbsp not ntilde oacute ocirc"
    " ograve ordf ordm oslash otilde ouml para plusmn pound quot raquo reg sect shy sup1 sup2 sup3"
    " szlig thorn times uacute ucirc ugrave uml uuml yacute yen yuml ";

constexpr char kHex[] = "0123456789ABCDEF";

bool IsAsciiAlnum(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsUnreserved(char c) { return IsAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~'; }

// Whether an "&" followed by rest would be read as the start of a character
// reference by an HTML parser, in text or in an attribute.
bool StartsCharacterReference(std::string_view rest) {
  if (rest.empty()) return false;
  if (rest[0] == '#') return true;
  size_t run = 0;
  while (run < rest.size() && IsAsciiAlnum(rest[run])) ++run;
  if (run == 0) return false;
  if (run < rest.size() && rest[run] == ';') return true;
  for (size_t at = 1; at < kNamesWithoutSemicolon.size();) {
    const size_t end = kNamesWithoutSemicolon.find(' ', at);
    if (rest.starts_with(kNamesWithoutSemicolon.substr(at, end - at))) return true;
    at = end + 1;
  }
  return false;
}

void AppendHex(std::string& out, const char* prefix, char c) {
  const auto byte = static_cast<unsigned char>(c);
  out += prefix;
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

std::string EscapeHtml(std::string_view value, bool quotes) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += StartsCharacterReference(value.substr(i + 1)) ? "&amp;" : "&";
        break;
      case '"':
        out += quotes ? "&quot;" : "\"";
        break;
      case '\'':
        out += quotes ? "&#39;" : "'";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string EscapeHtmlText(std::string_view value) { return EscapeHtml(value, false); }

std::string EscapeHtmlAttribute(std::string_view value) { return EscapeHtml(value, true); }

std::string EncodeUrlInAttribute(std::string_view value, std::string_view delimiters) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    const bool markup = c == '"' || c == '\'' || c == '<' || c == '>';
    if (IsUnreserved(c) || (!markup && c != '\0' && delimiters.find(c) != std::string_view::npos)) {
      if (c == '&' && StartsCharacterReference(value.substr(i + 1))) {
        out += "&amp;";
      } else {
        out += c;
      }
    } else {
      AppendHex(out, "%", c);
    }
  }
  return out;
}

}  // namespace qil
