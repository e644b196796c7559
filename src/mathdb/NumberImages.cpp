#include "mathdb/NumberImages.h"

#include "base/Convert.h"

namespace qil {

namespace {

constexpr std::string_view kProblemDigitStart = "<img src=\"images/szamok_problem/n";
constexpr std::string_view kProblemDigitEnd = ".jpg\" alt=\"\" width=\"8\" height=\"22\">";
constexpr std::string_view kProblemSeparator = "<img src=\"images/szamok_problem/nv.jpg\" alt=\"\">";

constexpr std::string_view kCounterDigitStart = "<img src=\"images/szamok/n";
constexpr std::string_view kCounterDigitEnd = ".jpg\" alt=\"\" width=\"14\" height=\"21\">";

// The number as text for screen readers and find-in-page; digits and commas
// need no escaping.
std::string NumberText(std::string_view text) { return "<span class=\"numtext\">" + std::string(text) + "</span>"; }

}  // namespace

std::string NumberImagesProblem(int64_t n) {
  const std::string text = FormatThousands(n);
  std::string html;
  for (char c : text) {
    if (c == ',') {
      html += kProblemSeparator;
    } else {
      html += kProblemDigitStart;
      html += c;
      html += kProblemDigitEnd;
    }
  }
  return html + NumberText(text);
}

std::string DigitImages(std::string_view text) {
  std::string html = "\r\n";
  std::string digits;
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    digits += c;
    html += kCounterDigitStart;
    html += c;
    html += kCounterDigitEnd;
    html += "\r\n";
  }
  if (!digits.empty()) html += NumberText(digits) + "\r\n";
  return html;
}

}  // namespace qil
