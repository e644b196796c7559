// Every address that a page of the built demo disc links to within the
// scheme is answered: a crawl through one `qilcd session` from the start page
// and the readme, following href, src and action values, the stylesheet's
// url()s and the refresh of redirect pages, breadth first up to a bound,
// each kind of address first. Every script name's template must be reached.
#include <gtest/gtest.h>

#include <deque>
#include <regex>
#include <set>
#include <sstream>

#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "protocol/PlatformURL.h"

namespace qil::test {
namespace {

constexpr size_t kCrawlBound = 3000;

// The addresses an answer links to within the scheme, resolved against its
// own address, without fragments.
std::vector<std::string> Targets(const std::string& address, const SessionAnswer& answer) {
  static const std::regex html(R"re(\s(?:href|src|action)\s*=\s*"([^"]*)"|content="0;url=([^"]+)")re",
                               std::regex::icase);
  static const std::regex css(R"re(url\(\s*["']?([^"')]+)["']?\s*\))re");
  const bool page = answer.mime == "text/html";
  if (!page && answer.mime != "text/css") return {};
  std::vector<std::string> targets;
  for (auto it = std::sregex_iterator(answer.body.begin(), answer.body.end(), page ? html : css);
       it != std::sregex_iterator(); ++it) {
    const std::string link = std::regex_replace((*it)[1].matched ? (*it)[1].str() : (*it)[2].str(),
                                                std::regex("&amp;"), "&");
    const std::optional<std::string> target = UrlCombine(address, link);
    if (!link.empty() && link[0] != '#' && target && target->starts_with("qilproto://qilproto_local/")) {
      targets.push_back(target->substr(0, target->find('#')));
    }
  }
  return targets;
}

// What kind of request an address makes: its path, the names of its items
// and the values of the items that choose what a page does.
std::string Kind(const std::string& address) {
  const size_t query = address.find('?');
  std::string kind = address.substr(0, query);
  std::istringstream items(query == std::string::npos ? "" : address.substr(query + 1));
  for (std::string item; std::getline(items, item, '&');) {
    const std::string name = item.substr(0, item.find('='));
    kind += "&" + (name == "type" || name == "action" ? item : name);
  }
  return kind;
}

TEST(DiscLinks, EveryLinkedAddressIsAnswered) {
  const char* disc = std::getenv("QIL_DEMO_DISC");
  if (QilcdPath().empty() || disc == nullptr) GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
  TempDir dir;
  QilcdSession session({"session", "--archive", disc, "--clipboard", dir.File("clip.rtf")});
  ASSERT_TRUE(session.Started());
  // A worksheet with rows, so that the editor's pages link their actions.
  for (const char* id : {"000003", "000400", "001200"}) session.Ask(std::string("wadd.stmp?id=") + id);

  const std::string base = "qilproto://qilproto_local/";
  std::deque<std::string> queue = {base + "index.html", base + "readme.htm"};
  // The list page's script opens the bars above it with the list's own query.
  const std::string endpoints = session.Ask("db/endpoints.txt").value_or(SessionAnswer{}).body;
  static const std::regex code(R"(([A-Z])([0-9]{2})=)");
  for (auto it = std::sregex_iterator(endpoints.begin(), endpoints.end(), code); it != std::sregex_iterator(); ++it) {
    for (const char* bar : {"alsonaviga.stmp", "problem_lent.stmp"}) {
      queue.push_back(base + bar + "?main=" + (*it)[1].str() + "&sub=" + (*it)[2].str());
    }
  }
  std::set<std::string> seen(queue.begin(), queue.end()), kinds, scripts;
  std::deque<std::string> new_kinds;
  size_t failures = 0;
  for (size_t crawled = 0; (!new_kinds.empty() || !queue.empty()) && crawled < kCrawlBound && failures < 20; ++crawled) {
    std::deque<std::string>& next = new_kinds.empty() ? queue : new_kinds;
    const std::string address = next.front();
    next.pop_front();
    const SessionAnswer answer = session.Ask(address).value_or(SessionAnswer{});
    if (answer.status != "200" || answer.body.empty() ||
        (answer.mime == "text/html" && (IsErrorPage(answer.body) || answer.body.find("<%") != std::string::npos))) {
      ++failures;
      ADD_FAILURE() << address << ": " << answer.status << " " << answer.mime << "\n" << answer.body.substr(0, 300);
      continue;
    }
    const std::string path = address.substr(0, address.find('?'));
    if (path.ends_with(".stmp")) scripts.insert(path.substr(base.size(), path.size() - base.size() - 5));
    for (const std::string& target : Targets(address, answer)) {
      if (seen.insert(target).second) (kinds.insert(Kind(target)).second ? new_kinds : queue).push_back(target);
    }
  }
  EXPECT_EQ(scripts, (std::set<std::string>{"mathlist", "alsonaviga", "problem_lent", "mathgfx", "solution", "main",
                                            "mathgoto", "clipbo", "wadd", "edit1", "statistic", "creator",
                                            "worksheet", "sheet", "sheetpdf"}));
  EXPECT_GE(seen.size(), kCrawlBound) << "the disc links fewer addresses than the crawl's bound";
}

}  // namespace
}  // namespace qil::test
