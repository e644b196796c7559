#include "content/DiscSession.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "protocol/PlatformURL.h"

namespace qil::test {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

std::string DiscSession::QilcdPath() { return Environment("QILCD"); }
std::string DiscSession::DiscPath() { return Environment("QIL_DEMO_DISC"); }

DiscSession::DiscSession() {
  if (QilcdPath().empty() || DiscPath().empty()) return;
  session_ = std::make_unique<QilcdSession>(std::vector<std::string>{
      "session", "--archive", DiscPath(), "--clipboard", dir_.File("clipboard.rtf")});
}

DiscSession::~DiscSession() = default;

bool DiscSession::Started() const { return session_ != nullptr && session_->Started(); }

DiscAnswer DiscSession::Get(const std::string& address) {
  DiscAnswer answer;
  if (!Started()) return answer;
  std::optional<SessionAnswer> reply = session_->Ask(address);
  if (!reply) return answer;
  answer.status = std::atoi(reply->status.c_str());
  answer.mime = reply->mime;
  answer.body = std::move(reply->body);
  return answer;
}

std::string DiscSession::Page(const std::string& address) {
  DiscAnswer answer = Get(address);
  EXPECT_EQ(answer.status, 200) << address;
  EXPECT_EQ(answer.mime, "text/html") << address;
  EXPECT_FALSE(IsErrorReport(answer.body)) << address << "\n" << answer.body;
  return answer.body;
}

std::string DiscSession::Clipboard() const {
  std::error_code error;
  if (!std::filesystem::exists(dir_.File("clipboard.rtf"), error)) return "";
  return ReadBytes(dir_.File("clipboard.rtf"));
}

std::vector<std::string> PageLinks(const std::string& html) {
  static const std::regex attribute(R"re(\s(?:href|src|action)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>"']+)))re",
                                    std::regex::icase);
  static const std::regex amp("&amp;");
  std::vector<std::string> links;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), attribute); it != std::sregex_iterator(); ++it) {
    const std::smatch& match = *it;
    const std::string value = match[1].matched ? match[1].str() : match[2].matched ? match[2].str() : match[3].str();
    links.push_back(std::regex_replace(value, amp, "&"));
  }
  return links;
}

std::vector<std::string> StyleUrls(const std::string& css) {
  static const std::regex url(R"re(url\(\s*["']?([^"')]+)["']?\s*\))re");
  std::vector<std::string> urls;
  for (auto it = std::sregex_iterator(css.begin(), css.end(), url); it != std::sregex_iterator(); ++it) {
    urls.push_back((*it)[1].str());
  }
  return urls;
}

std::string ResolveLink(const std::string& base, const std::string& link) {
  if (link.empty() || link[0] == '#') return "";
  std::string resolved;
  if (!UrlCombine(base, link, resolved)) return "";
  if (!resolved.starts_with(kDiscBase)) return "";
  return resolved.substr(0, resolved.find('#'));
}

bool IsErrorReport(const std::string& body) {
  return body.find("<pre>Error executing template script: ") != std::string::npos ||
         body.find("<pre>Template script not found for template: ") != std::string::npos;
}

long long DrawnNumber(const std::string& html) {
  static const std::regex digit(R"re(images/szamok(?:_problem)?/n([0-9v])\.jpg)re");
  long long number = -1;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), digit); it != std::sregex_iterator(); ++it) {
    const char c = (*it)[1].str()[0];
    if (c == 'v') continue;  // the thousands separator
    number = (number < 0 ? 0 : number * 10) + (c - '0');
  }
  return number;
}

std::vector<std::string> PictureNames(const std::string& html) {
  static const std::regex picture(R"re(gfx=([^"&'\s>]+))re");
  std::vector<std::string> names;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), picture); it != std::sregex_iterator(); ++it) {
    const std::string name = (*it)[1].str();
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
  const size_t start = text.find(open);
  if (start == std::string::npos) return "";
  const size_t from = start + open.size();
  const size_t end = text.find(close, from);
  return end == std::string::npos ? "" : text.substr(from, end - from);
}

}  // namespace qil::test
