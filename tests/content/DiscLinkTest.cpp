// Every address that a page of the built demo disc links to within the
// scheme is answered: a crawl through one `qilcd session` from the start page
// and the readme, following href, src and action values, the stylesheet's
// url()s and the refresh of redirect pages, breadth first and up to a bound,
// each kind of address first.
#include <gtest/gtest.h>

#include <deque>
#include <regex>
#include <set>
#include <sstream>

#include "content/DiscSession.h"

namespace qil::test {
namespace {

constexpr size_t kCrawlBound = 3000;

// The thirteen script names: each template must be reached by the crawl.
const std::set<std::string> kScriptNames = {"mathlist", "alsonaviga", "problem_lent", "mathgfx", "solution",
                                            "main",     "mathgoto",   "clipbo",       "wadd",    "edit1",
                                            "statistic", "creator",   "worksheet"};

// The addresses an answer leads to, resolved against its own address.
std::vector<std::string> Targets(const std::string& address, const DiscAnswer& answer) {
  std::vector<std::string> links;
  if (answer.mime == "text/html") {
    links = PageLinks(answer.body);
    static const std::regex refresh(R"re(content="0;url=([^"]+)")re");
    std::smatch match;
    if (std::regex_search(answer.body, match, refresh)) links.push_back(match[1]);
  } else if (answer.mime == "text/css") {
    links = StyleUrls(answer.body);
  }
  std::vector<std::string> targets;
  for (const std::string& link : links) {
    const std::string target = ResolveLink(address, link);
    if (!target.empty()) targets.push_back(target);
  }
  return targets;
}

// What kind of request an address makes: its path, the names of its items
// and the values of the items that choose what a page does. Addresses of a
// kind not seen before are crawled first, so the bound never leaves a kind of
// link unchecked.
std::string Kind(const std::string& address) {
  const size_t query = address.find('?');
  std::string kind = address.substr(0, query);
  if (query == std::string::npos) return kind;
  std::istringstream items(address.substr(query + 1));
  for (std::string item; std::getline(items, item, '&');) {
    const std::string name = item.substr(0, item.find('='));
    kind += "&" + (name == "type" || name == "action" ? item : name);
  }
  return kind;
}

// The script name of a template address; "" for a plain file.
std::string ScriptName(const std::string& address) {
  const std::string path = address.substr(0, address.find('?'));
  if (!path.ends_with(".stmp")) return "";
  const size_t slash = path.rfind('/');
  return path.substr(slash + 1, path.size() - slash - 1 - 5);
}

TEST(DiscLinks, EveryLinkedAddressIsAnswered) {
  if (DiscSession::QilcdPath().empty() || DiscSession::DiscPath().empty()) {
    GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
  }
  DiscSession session;
  ASSERT_TRUE(session.Started());
  // A worksheet with rows, so that the editor's pages link their actions.
  for (const char* id : {"000003", "000400", "001200"}) session.Page(std::string("wadd.stmp?id=") + id);

  const std::string base = kDiscBase;
  std::deque<std::string> queue = {base + "index.html", base + "readme.htm"};
  // The bars above each list are opened by the list page's script with the list's own query.
  const std::string endpoints = session.Get("db/endpoints.txt").body;
  static const std::regex code(R"(([A-Z])([0-9]{2})=)");
  for (auto it = std::sregex_iterator(endpoints.begin(), endpoints.end(), code); it != std::sregex_iterator(); ++it) {
    const std::string query = "?main=" + (*it)[1].str() + "&sub=" + (*it)[2].str();
    queue.push_back(base + "alsonaviga.stmp" + query);
    queue.push_back(base + "problem_lent.stmp" + query);
  }

  std::set<std::string> seen(queue.begin(), queue.end());
  std::set<std::string> kinds;
  std::deque<std::string> new_kinds;
  std::set<std::string> scripts;
  size_t crawled = 0;
  size_t failures = 0;
  while ((!new_kinds.empty() || !queue.empty()) && crawled < kCrawlBound && failures < 20) {
    std::deque<std::string>& next = new_kinds.empty() ? queue : new_kinds;
    const std::string address = next.front();
    next.pop_front();
    ++crawled;
    const DiscAnswer answer = session.Get(address);
    const bool page = answer.mime == "text/html";
    const bool answered = answer.status == 200 && !answer.body.empty() &&
                          !(page && (IsErrorReport(answer.body) || answer.body.find("<%") != std::string::npos));
    if (!answered) {
      ++failures;
      ADD_FAILURE() << address << ": " << answer.status << " " << answer.mime << " " << answer.body.size()
                    << " bytes\n"
                    << answer.body.substr(0, 300);
      continue;
    }
    if (const std::string script = ScriptName(address); !script.empty()) scripts.insert(script);
    for (const std::string& target : Targets(address, answer)) {
      if (!seen.insert(target).second) continue;
      (kinds.insert(Kind(target)).second ? new_kinds : queue).push_back(target);
    }
  }
  EXPECT_EQ(scripts, kScriptNames);
  EXPECT_GE(seen.size(), kCrawlBound) << "the disc links fewer addresses than the crawl's bound";
  RecordProperty("crawled", static_cast<int>(crawled));
  std::printf("crawled %zu of %zu addresses found\n", crawled, seen.size());
}

}  // namespace
}  // namespace qil::test
