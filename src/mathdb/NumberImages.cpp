#include "mathdb/NumberImages.h"

#include "base/Convert.h"

namespace qil {

namespace {

constexpr std::string_view kProblemDigitStart = "<img src=\"images/szamok_problem/n";
constexpr std::string_view kProblemDigitEnd = ".jpg\" width=\"8\" height=\"22\">";
constexpr std::string_view kProblemSeparator = "<img src=\"images/szamok_problem/nv.jpg\">";

constexpr std::string_view kCounterDigitStart = "<img src=\"images/szamok/n";
constexpr std::string_view kCounterDigitEnd = ".jpg\" width=\"14\" height=\"21\">";

}  // namespace

std::string NumberImagesProblem(int64_t n) {
  std::string html;
  for (char c : FormatThousands(n)) {
    if (c == ',') {
      html += kProblemSeparator;
    } else {
      html += kProblemDigitStart;
      html += c;
      html += kProblemDigitEnd;
    }
  }
  return html;
}

std::string DigitImages(std::string_view text) {
  std::string html = "\r\n";
  for (char c : text) {
    if (c < '0' || c > '9') continue;
    html += kCounterDigitStart;
    html += c;
    html += kCounterDigitEnd;
    html += "\r\n";
  }
  return html;
}

}  // namespace qil
