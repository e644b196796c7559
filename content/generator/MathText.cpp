#include "MathText.h"

#include <array>
#include <cctype>
#include <utility>

#include "base/Text.h"

namespace qil::disc {

std::string Esc(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Num(int64_t n) {
  if (n < 0) return std::string(kMinus) + std::to_string(-n);
  return std::to_string(n);
}

std::string NumB(int64_t n) { return n < 0 ? "(" + Num(n) + ")" : Num(n); }

std::string RatText(const Rational& r) {
  std::string text = Num(r.Num());
  return r.IsInteger() ? text : text + "/" + std::to_string(r.Den());
}

std::string Dec(const Rational& r) {
  std::string s = r.Abs().DecimalText();
  return r.Sign() < 0 ? std::string(kMinus) + s : s;
}

std::string DecPlaces(const Rational& r, int places) {
  std::string s = Dec(r.Round(places));
  if (places <= 0) return s;
  size_t dot = s.find('.');
  if (dot == std::string::npos) {
    dot = s.size();
    s += ".";
  }
  return s + std::string(places - (s.size() - dot - 1), '0');
}

std::string Var(std::string_view name) { return "<i>" + std::string(name) + "</i>"; }

std::string Sup(std::string_view markup) { return "<sup>" + std::string(markup) + "</sup>"; }

std::string Bold(std::string_view markup) { return "<b>" + std::string(markup) + "</b>"; }

std::string Money(const Rational& r) {
  Rational cents = r.Round(2) * Rational(100);
  int64_t c = cents.Num();
  std::string sign = c < 0 ? kMinus : "";
  if (c < 0) c = -c;
  std::string frac = std::to_string(c % 100);
  if (frac.size() < 2) frac = "0" + frac;
  return sign + "$" + std::to_string(c / 100) + "." + frac;
}

std::string SignedTerm(int64_t n) {
  return n < 0 ? std::string(kMinus) + " " + std::to_string(-n) : "+ " + std::to_string(n);
}

std::string Combo(const std::vector<std::pair<int64_t, std::string>>& terms, int64_t constant) {
  std::string out;
  auto add = [&out](int64_t c, const std::string& name) {
    std::string size = (c == 1 || c == -1) && !name.empty() ? "" : std::to_string(c < 0 ? -c : c);
    if (out.empty()) {
      out = (c < 0 ? std::string(kMinus) : "") + size + name;
    } else {
      out += (c < 0 ? std::string(" ") + kMinus + " " : " + ") + size + name;
    }
  };
  for (const auto& [c, name] : terms) {
    if (c != 0) add(c, name);
  }
  if (constant != 0) add(constant, "");
  return out.empty() ? "0" : out;
}

std::string Linear(int64_t a, std::string_view var, int64_t b) { return Combo({{a, Var(var)}}, b); }

std::string Ordinal(int64_t n) {
  const char* suffix = "th";
  if (n % 100 < 11 || n % 100 > 13) {
    if (n % 10 == 1) suffix = "st";
    if (n % 10 == 2) suffix = "nd";
    if (n % 10 == 3) suffix = "rd";
  }
  return std::to_string(n) + suffix;
}

std::string Count(int64_t n, std::string_view singular, std::string_view plural) {
  std::string noun(n == 1 ? singular : plural);
  if (n != 1 && plural.empty()) {
    noun = singular;
    const bool sibilant = noun.ends_with("s") || noun.ends_with("x") || noun.ends_with("z") ||
                          noun.ends_with("ch") || noun.ends_with("sh");
    noun += sibilant ? "es" : "s";
  }
  return Num(n) + " " + noun;
}

std::string Agree(int64_t n, std::string_view one, std::string_view many) { return std::string(n == 1 ? one : many); }

std::string PlainText(std::string_view markup) {
  static const std::array<std::pair<std::string_view, std::string_view>, 24> kWritten = {{
      {"\u00b2", "^2"}, {"\u00b3", "^3"},
      {"\u2212", "-"},  {"\u00d7", "*"},     {"\u00f7", "/"},     {"\u00b7", "*"},
      {"\u03c0", "pi"}, {"\u00b0", " deg"},  {"\u221a", "sqrt"},  {"\u00b1", "+/-"},
      {"\u2264", "<="}, {"\u2265", ">="},    {"\u2260", "!="},    {"\u2248", "~"},
      {"\u21d2", "=>"}, {"\u2013", "-"},     {"\u2014", "-"},     {"\u2019", "'"},
      {"\u2026", "..."}, {"\u00a0", " "},    {"\u2009", " "},     {"\u2032", "'"},
      {"\u25b3", "triangle "}, {"\u2220", "angle "},
  }};
  static const std::array<std::pair<std::string_view, std::string_view>, 4> kEntities = {{
      {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}, {"&quot;", "\""},
  }};
  static constexpr std::string_view kOverlinedRoot = "\u221a<span overline=";
  std::string out;
  size_t i = 0;
  bool rootOpen = false;  // inside the overlined radicand of a root: its end closes a bracket
  // Replaces the text at i when it starts with one of the table's entries.
  auto replaced = [&](const auto& table) {
    for (const auto& [from, to] : table) {
      if (markup.substr(i, from.size()) == from) {
        out += to;
        i += from.size();
        return true;
      }
    }
    return false;
  };
  while (i < markup.size()) {
    char c = markup[i];
    if (markup.substr(i, kOverlinedRoot.size()) == kOverlinedRoot) {
      out += "sqrt(";
      rootOpen = true;
      i = markup.find('>', i);
      if (i == std::string_view::npos) break;
      ++i;
      continue;
    }
    if (c == '<') {
      size_t end = markup.find('>', i);
      if (end == std::string_view::npos) break;
      if (markup.substr(i, 5) == "<sup>") out += "^";
      if (rootOpen && markup.substr(i, 7) == "</span>") {
        out += ")";
        rootOpen = false;
      }
      i = end + 1;
      continue;
    }
    if (c == '&' && replaced(kEntities)) continue;
    if (static_cast<unsigned char>(c) >= 0x80) {
      const bool pi = markup.substr(i, kPi.size()) == kPi;
      if (pi && out.size() > 0 && std::isalpha(static_cast<unsigned char>(out.back()))) out += "*";
      if (!replaced(kWritten)) {  // skip the whole UTF-8 sequence of a character without an ASCII form
        ++i;
        while (i < markup.size() && (static_cast<unsigned char>(markup[i]) & 0xC0) == 0x80) ++i;
      }
      // pi before a name is a product: "pi*r^2", not "pir^2".
      if (pi) {
        size_t next = i;
        while (next < markup.size() && markup[next] == '<') next = markup.find('>', next) + 1;
        if (next < markup.size() && std::isalpha(static_cast<unsigned char>(markup[next]))) out += "*";
      }
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string HtmlEscape(std::string_view text) { return ReplaceAll(Esc(text), "\"", "&quot;"); }

}  // namespace qil::disc
