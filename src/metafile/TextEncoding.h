// The characters of metafile text: the 8-bit codes of a font's character set
// turned into Unicode, and the fonts' names made safe for SVG and pango.
//
// Text in the Symbol font (its name, or the symbol character set with a face
// that is not another symbol font) goes through the Symbol font's own table,
// so Greek letters, operators and arrows come out as their Unicode
// characters and draw in any font. Other symbol fonts keep their codes in the
// private use area at U+F000 + code, where such fonts map them. Every other
// character set is read as Windows-1252. Control characters become spaces, so
// the output is always valid in XML. Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qil::metafile {

enum class TextCharset : uint8_t { kWindows1252, kSymbol, kOtherSymbolFont };

inline constexpr uint8_t kSymbolCharset = 2;

TextCharset CharsetOf(uint8_t charset, std::string_view face);

// The Unicode character of one code.
char32_t DecodeChar(uint8_t code, TextCharset charset);

void AppendUtf8(std::string& out, char32_t c);

// A face name from a font record (up to its first zero byte) as UTF-8, with
// control characters and the characters that would end a quoted name or a
// family list (quotes, comma, semicolon, angle brackets, ampersand, backslash) dropped.
std::string CleanFaceName(std::string_view bytes);

// The generic family that stands in for a face the viewer lacks, from the
// font's pitch and family byte, else guessed from the name.
std::string GenericFamily(uint8_t pitch_and_family, std::string_view face);

}  // namespace qil::metafile
