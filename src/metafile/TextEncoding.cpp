#include "metafile/TextEncoding.h"

#include <array>

#include "base/Text.h"

namespace qil::metafile {
namespace {

// Codes 0x20 to 0xFF of the Symbol font; 0 where the font has no character.
constexpr std::array<char16_t, 224> kSymbol = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,  // 0x20
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 0x30
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,  // 0x40
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,  // 0x50
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,  // 0x60
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,  // 0x70
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                  // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                  // 0x90
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,  // 0xA0
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,  // 0xB0
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,  // 0xC0
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,  // 0xD0
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x27E8, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,  // 0xE0
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    0, 0x27E9, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,       // 0xF0
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,
};

// Codes 0x80 to 0x9F of Windows-1252; 0 where it has no character.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// Fonts of the symbol character set whose codes mean something else than the Symbol font's.
constexpr std::string_view kOtherSymbolFonts[] = {"wingdings", "webdings", "marlett", "mt extra", "zapfdingbats",
                                                  "monotype sorts"};

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace

TextCharset CharsetOf(uint8_t charset, std::string_view face) {
  const std::string name = LowerCase(face);
  if (name == "symbol") return TextCharset::kSymbol;
  if (charset != kSymbolCharset) return TextCharset::kWindows1252;
  for (std::string_view other : kOtherSymbolFonts) {
    if (name.starts_with(other)) return TextCharset::kOtherSymbolFont;
  }
  return TextCharset::kSymbol;
}

char32_t DecodeChar(uint8_t code, TextCharset charset) {
  if (code < 0x20 || code == 0x7F) return U' ';
  switch (charset) {
    case TextCharset::kSymbol: {
      const char16_t c = kSymbol[code - 0x20];
      return c != 0 ? c : 0xF000 + code;
    }
    case TextCharset::kOtherSymbolFont:
      return 0xF000 + code;
    case TextCharset::kWindows1252:
      break;
  }
  if (code >= 0x80 && code < 0xA0) {
    const char16_t c = kWindows1252High[code - 0x80];
    return c != 0 ? c : U' ';
  }
  return code;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string CleanFaceName(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::string name;
  for (char byte : bytes) {
    const auto code = static_cast<uint8_t>(byte);
    if (code < 0x20 || code == 0x7F || std::string_view("\"',;<>&\\").find(byte) != std::string_view::npos) continue;
    if (code == ' ' && (name.empty() || name.back() == ' ')) continue;
    AppendUtf8(name, DecodeChar(code, TextCharset::kWindows1252));
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

std::string GenericFamily(uint8_t pitch_and_family, std::string_view face) {
  switch (pitch_and_family & 0xF0) {
    case 0x10: return "serif";
    case 0x20: return "sans-serif";
    case 0x30: return "monospace";
    case 0x40: return "cursive";
    case 0x50: return "fantasy";
    default: break;
  }
  if ((pitch_and_family & 0x03) == 1) return "monospace";
  const std::string name = LowerCase(face);
  if (Contains(name, "courier") || Contains(name, "mono") || Contains(name, "consol")) return "monospace";
  if (Contains(name, "sans")) return "sans-serif";
  for (std::string_view serif :
       {"times", "roman", "serif", "symbol", "georgia", "garamond", "cambria", "book", "mt extra"}) {
    if (Contains(name, serif)) return "serif";
  }
  return "sans-serif";
}

}  // namespace qil::metafile
