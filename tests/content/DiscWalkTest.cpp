// The built demo disc walked like a student walks it, through one `qilcd
// session` per test: the start page, the index, every topic's list page by
// page, every problem page with its pictures, goto, the worksheet by hand and
// at random, its statistics and counter, and the copies to the clipboard.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "content/DiscSession.h"
#include "base/Convert.h"
#include "richtext/RtfTokenizer.h"

namespace qil::test {
namespace {

struct Topic {
  std::string code;  // "B01"
  std::string name;
  long long first = 0;  // problem numbers, as the index shows them
  long long last = 0;

  std::string ListQuery() const { return "main=" + code.substr(0, 1) + "&sub=" + code.substr(1); }
};

std::string ProblemId(long long position) { return FormatZeroPadded("%6d", static_cast<int32_t>(position)); }

long long ReadNumber(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ','), text.end());
  return text.empty() ? -1 : std::stoll(text);
}

// The attribute's value in the first tag of html that carries it; "" when absent.
std::string AttributeValue(const std::string& html, const std::string& name) {
  return Between(html, " " + name + "=\"", "\"");
}

// One problem row of a list or of the worksheet editor.
struct Row {
  long long position = -1;
  long long number = -1;  // the problem number drawn in digit pictures
  long long place = -1;   // the place on the worksheet, drawn likewise; -1 on lists
  int level = 0;
  std::string html;
};

// The rows of a page whose row anchors start with prefix ("p" on lists, "w" in the editor).
std::vector<Row> Rows(const std::string& page, const std::string& prefix) {
  const std::string open = "<article class=\"row\" id=\"" + prefix;
  std::vector<Row> rows;
  for (size_t at = page.find(open); at != std::string::npos;) {
    const size_t next = page.find(open, at + 1);
    Row row;
    row.html = page.substr(at, next == std::string::npos ? std::string::npos : next - at);
    row.position = ReadNumber(row.html.substr(open.size(), 6));
    row.number = DrawnNumber(Between(row.html, "<span class=\"num\"", "</span>"));
    row.place = DrawnNumber(Between(row.html, "<span class=\"place\"", "</span>"));
    const std::string level = Between(row.html, "class=\"level level", "\"");
    row.level = level.empty() ? 0 : level[0] - '0';
    rows.push_back(row);
    at = next;
  }
  return rows;
}

// The texts of the count cells of a statistics table row.
std::vector<std::string> CountCells(const std::string& row) {
  static const std::regex cell(R"re(<td class="count[^"]*">([^<]*)</td>)re");
  std::vector<std::string> cells;
  for (auto it = std::sregex_iterator(row.begin(), row.end(), cell); it != std::sregex_iterator(); ++it) {
    cells.push_back((*it)[1].str());
  }
  return cells;
}

std::vector<long long> Positions(const std::vector<Row>& rows) {
  std::vector<long long> positions;
  for (const Row& row : rows) positions.push_back(row.position);
  return positions;
}

// How many picture groups an RTF document holds; every one must embed a metafile.
int PictureGroups(const std::string& rtf) {
  RtfTokenizer tokens(rtf);
  int pictures = 0;
  bool in_picture = false;
  for (RtfToken token = tokens.Next(); token.kind != RtfToken::End; token = tokens.Next()) {
    if (token.IsWord("pict")) {
      ++pictures;
      in_picture = true;
    } else if (in_picture && token.kind == RtfToken::ControlWord && token.name != "wmetafile") {
      continue;
    } else if (in_picture) {
      EXPECT_TRUE(token.IsWord("wmetafile") && token.parameter == 8) << "a picture that is not a metafile";
      in_picture = false;
    }
  }
  return pictures;
}

void ExpectRtfDocument(const std::string& rtf, const std::string& what) {
  EXPECT_TRUE(rtf.starts_with("{\\rtf1")) << what << ": " << rtf.substr(0, 80);
  EXPECT_TRUE(IsOneBalancedGroup(rtf)) << what;
  EXPECT_EQ(rtf.find('\0'), std::string::npos) << what;
}

// Whether bytes begin as a picture of that file name's format does.
bool HasPictureSignature(const std::string& name, const std::string& bytes) {
  const std::string extension = name.substr(name.rfind('.') + 1);
  if (extension == "png") return bytes.starts_with("\x89PNG\r\n\x1a\n");
  if (extension == "jpg") return bytes.starts_with("\xFF\xD8\xFF");
  if (extension == "bmp") return bytes.starts_with("BM");
  if (extension == "wmf") return bytes.starts_with("\xD7\xCD\xC6\x9A");
  if (extension == "wmz") return bytes.starts_with("\x1F\x8B");
  return false;
}

class DiscWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    if (DiscSession::QilcdPath().empty() || DiscSession::DiscPath().empty()) {
      GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
    }
    session_ = std::make_unique<DiscSession>();
    ASSERT_TRUE(session_->Started());
    ASSERT_NO_FATAL_FAILURE(ReadTopics());
  }

  // The topics of db/endpoints.txt in disc order, with the numbers the index gives them.
  void ReadTopics() {
    const DiscAnswer list = session_->Get("db/endpoints.txt");
    ASSERT_EQ(list.status, 200);
    const std::string index = session_->Page("main.stmp");
    std::istringstream lines(list.body);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      Topic topic{line.substr(0, equals), line.substr(equals + 1)};
      const std::string row = Between(index, "<td>" + topic.code + "</td>", "</tr>");
      static const std::regex range(R"(\[([0-9,]+)-([0-9,]+)\])");
      std::smatch match;
      ASSERT_TRUE(std::regex_search(row, match, range)) << topic.code << " has no range in the index";
      topic.first = ReadNumber(match[1]);
      topic.last = ReadNumber(match[2]);
      topics_.push_back(topic);
    }
    ASSERT_EQ(topics_.size(), 16u);
  }

  long long ProblemCount() const { return topics_.back().last; }

  const Topic& TopicOf(long long number) const {
    for (const Topic& topic : topics_) {
      if (number >= topic.first && number <= topic.last) return topic;
    }
    ADD_FAILURE() << "no topic holds problem " << number;
    return topics_.front();
  }

  // The positions of a topic's problems of one level: the first one (from the
  // level bar) and their number (from the generator form).
  std::pair<long long, long long> LevelGroup(const Topic& topic, int level) {
    const std::string bar = session_->Page("problem_lent.stmp?" + topic.ListQuery());
    std::map<int, long long> starts;
    static const std::regex start(R"re(mathlist\.stmp\?start=([0-9]+)#p[0-9]+"[^>]*>Level ([1-4]))re");
    for (auto it = std::sregex_iterator(bar.begin(), bar.end(), start); it != std::sregex_iterator(); ++it) {
      starts[std::stoi((*it)[2])] = std::stoll((*it)[1]);
    }
    const std::string form = session_->Page("creator.stmp");
    const std::string key = "T" + topic.code + std::to_string(level);
    const long long count = ReadNumber(AttributeValue(Between(form, "name=\"" + key + "\"", ">"), "max"));
    return {starts.count(level) ? starts[level] - 1 : -1, count};
  }

  std::string Editor(const std::string& query = "") {
    return session_->Page(query.empty() ? "edit1.stmp" : "edit1.stmp?" + query);
  }
  long long Counter() { return DrawnNumber(session_->Page("worksheet.stmp")); }

  // The problem and the solution pictures a problem page shows.
  std::pair<std::vector<std::string>, std::vector<std::string>> PagePictures(long long position) {
    const std::string page = session_->Page("solution.stmp?id=" + ProblemId(position));
    const size_t solution = page.find("<div class=\"solution\">");
    return {PictureNames(page.substr(0, solution)),
            solution == std::string::npos ? std::vector<std::string>{} : PictureNames(page.substr(solution))};
  }

  std::unique_ptr<DiscSession> session_;
  std::vector<Topic> topics_;
};

TEST_F(DiscWalk, StartPageOffersTopicsWorksheetGotoAndQuit) {
  const std::string start = session_->Page("index.html");
  EXPECT_NE(start.find("href=\"index.html#CLOSE_BROWSER#\""), std::string::npos);
  EXPECT_NE(start.find("name=\"counter\" src=\"worksheet.stmp\""), std::string::npos);
  EXPECT_NE(start.find("name=\"content\" src=\"welcome.html\""), std::string::npos);
  EXPECT_NE(start.find("<form class=\"goto\" action=\"mathgoto.stmp\""), std::string::npos);
  EXPECT_NE(start.find("name=\"goto\""), std::string::npos);
  for (const Topic& topic : topics_) {
    EXPECT_NE(start.find("href=\"topics/" + topic.code + ".htm\" target=\"content\" data-topic=\"" + topic.code +
                         "\"><span class=\"code\">" + topic.code + "</span>" + topic.name + "</a>"),
              std::string::npos)
        << topic.code << " " << topic.name;
  }
  const std::vector<std::string> links = PageLinks(start);
  for (const char* page : {"main.stmp", "edit1.stmp", "creator.stmp", "statistic.stmp", "welcome.html"}) {
    EXPECT_NE(std::find(links.begin(), links.end(), page), links.end()) << page;
  }

  // The stylesheet's fonts are the disc's own.
  const DiscAnswer css = session_->Get("disc.css");
  ASSERT_EQ(css.status, 200);
  EXPECT_EQ(css.mime, "text/css");
  const std::vector<std::string> fonts = StyleUrls(css.body);
  ASSERT_EQ(fonts.size(), 2u);
  for (const std::string& font : fonts) {
    const DiscAnswer file = session_->Get(ResolveLink(std::string(kDiscBase) + "disc.css", font));
    EXPECT_EQ(file.status, 200) << font;
    EXPECT_TRUE(file.body.starts_with(std::string("\0\1\0\0", 4))) << font << " is not a TrueType font";
  }

  // The readme accepts and declines through the window's markers.
  const std::string readme = session_->Page("readme.htm");
  std::vector<std::string> yes, no;
  for (const std::string& link : PageLinks(readme)) {
    if (link.find("#YES#") != std::string::npos) yes.push_back(link);
    if (link.find("#NO#") != std::string::npos) no.push_back(link);
  }
  ASSERT_EQ(yes.size(), 1u);
  ASSERT_EQ(no.size(), 1u);
  EXPECT_EQ(yes[0].find("#NO#"), std::string::npos) << "one link would both accept and decline";
  EXPECT_EQ(session_->Get(ResolveLink(std::string(kDiscBase) + "readme.htm", yes[0])).status, 200);
}

TEST_F(DiscWalk, IndexNumbersTheTopicsOneAfterAnother) {
  long long next = 1;
  for (const Topic& topic : topics_) {
    EXPECT_EQ(topic.first, next) << topic.code;
    EXPECT_GE(topic.last, topic.first) << topic.code;
    next = topic.last + 1;
  }
  EXPECT_EQ(ProblemCount(), 1264);
  const std::string index = session_->Page("main.stmp");
  EXPECT_EQ(index.find("<%"), std::string::npos);
  for (const Topic& topic : topics_) {
    EXPECT_NE(index.find("mathlist.stmp?main=" + topic.code.substr(0, 1) + "&amp;sub=" + topic.code.substr(1)),
              std::string::npos)
        << topic.code;
  }
}

TEST_F(DiscWalk, EveryTopicListsItsProblemsPageByPage) {
  for (const Topic& topic : topics_) {
    SCOPED_TRACE(topic.code);
    const long long count = topic.last - topic.first + 1;
    const std::vector<Row> opening = Rows(session_->Page("mathlist.stmp?" + topic.ListQuery()), "p");
    ASSERT_EQ(opening.size(), static_cast<size_t>(std::min(count, 25LL)));
    EXPECT_EQ(opening[0].position, topic.first - 1);

    // The page bar gives the topic's numbers; its pages open with "start".
    const std::string bar = session_->Page("alsonaviga.stmp?" + topic.ListQuery());
    EXPECT_EQ(ReadNumber(AttributeValue(bar, "data-first")), topic.first);
    EXPECT_EQ(ReadNumber(AttributeValue(bar, "data-last")), topic.last);
    EXPECT_EQ(AttributeValue(bar, "data-size"), "25");
    EXPECT_EQ(AttributeValue(bar, "data-at"), "-1");
    for (long long from = topic.first; from <= topic.last; from += 25) {
      const std::string page = session_->Page("mathlist.stmp?start=" + std::to_string(from));
      const std::vector<Row> rows = Rows(page, "p");
      ASSERT_EQ(rows.size(), static_cast<size_t>(std::min(25LL, topic.last - from + 1))) << "from " << from;
      for (size_t i = 0; i < rows.size(); ++i) {
        const long long number = from + static_cast<long long>(i);
        EXPECT_EQ(rows[i].position, number - 1);
        EXPECT_EQ(rows[i].number, number);
        EXPECT_GE(rows[i].level, 1);
        EXPECT_LE(rows[i].level, 3);
        EXPECT_NE(rows[i].html.find("href=\"solution.stmp?id=" + ProblemId(number - 1) + "\""), std::string::npos);
        EXPECT_NE(rows[i].html.find("href=\"wadd.stmp?id=" + ProblemId(number - 1) + "\""), std::string::npos);
        EXPECT_NE(rows[i].html.find("<div class=\"problem\">"), std::string::npos);
      }
      if (rows.size() > 1) {
        EXPECT_LE(rows.front().level, rows.back().level) << "levels follow one another";
      }
    }

    // The level bar leads to the first problem of each level the topic has.
    const std::string levels = session_->Page("problem_lent.stmp?" + topic.ListQuery());
    EXPECT_EQ(levels.find("Level 4"), std::string::npos);
    long long previous = topic.first - 2;
    for (int level = 1; level <= 3; ++level) {
      const auto group = LevelGroup(topic, level);
      const auto first = group.first;
      const auto size = group.second;
      EXPECT_GT(first, previous) << "level " << level;
      EXPECT_LE(first, topic.last - 1) << "level " << level;
      previous = first;
      const std::vector<Row> rows = Rows(session_->Page("mathlist.stmp?start=" + std::to_string(first + 1)), "p");
      const auto row = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.position == first; });
      ASSERT_NE(row, rows.end()) << "level " << level;
      EXPECT_EQ(row->level, level);
      if (row != rows.begin()) {
        EXPECT_EQ(std::prev(row)->level, level - 1);
      }
      EXPECT_GT(size, 0);
    }
  }
}

TEST_F(DiscWalk, EveryProblemPageAnswersEachPictureItShows) {
  std::set<std::string> formats;
  for (long long position = 0; position < ProblemCount(); ++position) {
    const std::string id = ProblemId(position);
    const std::string page = session_->Page("solution.stmp?id=" + id);
    ASSERT_EQ(DrawnNumber(Between(page, "<span class=\"num\">", "</span>")), position + 1) << id;
    const Topic& topic = TopicOf(position + 1);
    EXPECT_NE(page.find("href=\"topics/" + topic.code + ".htm\""), std::string::npos) << id;
    EXPECT_NE(page.find("href=\"mathlist.stmp?start=" + std::to_string(position + 1) + "#p" + id + "\""),
              std::string::npos)
        << id;
    for (const char* type : {"p", "s", "b"}) {
      EXPECT_NE(page.find(std::string("href=\"clipbo.stmp?type=") + type + "&amp;id=" + id + "\""),
                std::string::npos)
          << id;
    }
    const std::vector<std::string> pictures = PictureNames(page);
    ASSERT_GE(pictures.size(), 2u) << id << ": a statement and a solution at least";
    for (const std::string& name : pictures) {
      const DiscAnswer picture = session_->Get("mathgfx.stmp?ID=" + id + "&gfx=" + name);
      ASSERT_EQ(picture.status, 200) << id << " " << name;
      EXPECT_EQ(picture.mime, "application/octet-stream");
      EXPECT_TRUE(HasPictureSignature(name, picture.body)) << id << " " << name << " (" << picture.body.size()
                                                           << " bytes)";
      formats.insert(name.substr(name.rfind('.') + 1));
    }
  }
  EXPECT_EQ(formats, (std::set<std::string>{"bmp", "jpg", "png", "wmf", "wmz"}));
}

TEST_F(DiscWalk, GotoOpensTheProblemOrTheErrorPage) {
  for (const long long number : {1LL, 124LL, ProblemCount()}) {
    const std::string page = session_->Page("mathgoto.stmp?goto=" + std::to_string(number));
    const std::string id = ProblemId(number - 1);
    EXPECT_NE(page.find("src=\"solution.stmp?id=" + id + "\""), std::string::npos) << number;
    EXPECT_NE(page.find("href=\"mathlist.stmp?start=" + std::to_string(number) + "#p" + id + "\""),
              std::string::npos)
        << number;
    const std::string title_page = "topics/" + TopicOf(number).code + ".htm";
    EXPECT_NE(page.find("href=\"" + title_page + "\""), std::string::npos) << number;
    EXPECT_EQ(session_->Get(title_page).status, 200);
  }
  for (const std::string& bad : std::vector<std::string>{"0", "-3", "abc", "", std::to_string(ProblemCount() + 1)}) {
    const std::string page = session_->Page("mathgoto.stmp?goto=" + bad);
    EXPECT_NE(page.find("url=gotoerror_h.html"), std::string::npos) << bad;
  }
  const std::string error = session_->Page("gotoerror_h.html");
  EXPECT_NE(error.find("action=\"mathgoto.stmp\""), std::string::npos);
}

TEST_F(DiscWalk, WorksheetByHandAndAtRandom) {
  EXPECT_EQ(Counter(), 0);
  EXPECT_TRUE(Rows(Editor(), "w").empty());
  // The note after the rows shows only when no row comes before it (disc.css).
  EXPECT_NE(Editor().find("<p class=\"empty-note\">Your worksheet is empty"), std::string::npos);

  // Five problems by hand, from different topics and levels.
  const std::vector<long long> added = {topics_[0].first - 1, topics_[4].first + 60, topics_[10].first + 2,
                                        topics_[15].first + 14, topics_[2].first + 40};
  for (const long long position : added) {
    const std::string answer = session_->Page("wadd.stmp?id=" + ProblemId(position));
    EXPECT_NE(answer.find("const message = \"Problem added to Worksheet.\";"), std::string::npos) << answer;
  }
  EXPECT_NE(session_->Page("wadd.stmp?id=" + ProblemId(added[1])).find(
                R"(const message = "Warning!\n\nProblem already exists in Worksheet.";)"),
            std::string::npos);
  EXPECT_EQ(Counter(), 5);
  std::vector<Row> rows = Rows(Editor(), "w");
  ASSERT_EQ(Positions(rows), added);
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].place, static_cast<long long>(i + 1));
    EXPECT_EQ(rows[i].number, rows[i].position + 1);
  }

  // A problem on the worksheet no longer offers to be added.
  const std::string on_sheet = session_->Page("solution.stmp?id=" + ProblemId(added[0]));
  EXPECT_NE(on_sheet.find("<!--<a class=\"button add-link\""), std::string::npos);
  const std::string off_sheet = session_->Page("solution.stmp?id=" + ProblemId(added[0] + 1));
  EXPECT_NE(off_sheet.find("\n<a class=\"button add-link\""), std::string::npos);

  // Move and remove.
  EXPECT_EQ(Positions(Rows(Editor("action=moveup&id=" + ProblemId(added[2])), "w")),
            (std::vector<long long>{added[0], added[2], added[1], added[3], added[4]}));
  EXPECT_EQ(Positions(Rows(Editor("action=top&id=" + ProblemId(added[4])), "w")),
            (std::vector<long long>{added[4], added[0], added[2], added[1], added[3]}));
  EXPECT_EQ(Positions(Rows(Editor("action=movedn&id=" + ProblemId(added[4])), "w")),
            (std::vector<long long>{added[0], added[4], added[2], added[1], added[3]}));
  EXPECT_EQ(Positions(Rows(Editor("action=bottom&id=" + ProblemId(added[0])), "w")),
            (std::vector<long long>{added[4], added[2], added[1], added[3], added[0]}));
  rows = Rows(Editor("action=remove&id=" + ProblemId(added[1])), "w");
  ASSERT_EQ(Positions(rows), (std::vector<long long>{added[4], added[2], added[3], added[0]}));
  EXPECT_EQ(Counter(), 4);

  // The statistics count the remaining four by topic and level.
  std::map<std::string, int> expected;
  for (const Row& row : rows) ++expected[TopicOf(row.number).code + std::to_string(row.level)];
  const std::string statistics = session_->Page("statistic.stmp");
  for (const Topic& topic : topics_) {
    const std::string line = Between(statistics, "<span class=\"code\">" + topic.code + "</span>", "</tr>");
    const std::vector<std::string> cells = CountCells(line);
    ASSERT_EQ(cells.size(), 4u) << topic.code;
    for (int level = 1; level <= 3; ++level) {
      const std::string key = topic.code + std::to_string(level);
      EXPECT_EQ(cells[level - 1], expected.count(key) ? std::to_string(expected[key]) : "") << key;
    }
  }

  // The generator form offers every topic at levels 1 to 3, as many as each holds.
  const std::string form = session_->Page("creator.stmp");
  EXPECT_NE(form.find("<form action=\"edit1.stmp\" method=\"get\""), std::string::npos);
  EXPECT_NE(form.find("name=\"action\" value=\"gensheet_main\""), std::string::npos);
  EXPECT_NE(form.find("name=\"rnd\""), std::string::npos);
  for (const Topic& topic : topics_) {
    long long offered = 0;
    for (int level = 1; level <= 4; ++level) {
      const std::string input = Between(form, "name=\"T" + topic.code + std::to_string(level) + "\"", ">");
      if (level == 4) {
        EXPECT_TRUE(input.empty()) << topic.code << ": this edition has no level 4";
        continue;
      }
      EXPECT_EQ(AttributeValue(input, "max"), AttributeValue(input, "data-available")) << topic.code;
      offered += ReadNumber(AttributeValue(input, "max"));
    }
    EXPECT_EQ(offered, topic.last - topic.first + 1) << topic.code;
  }

  // A random worksheet: the form's answer is a frame that draws once per token.
  const Topic& arithmetic = topics_[0];
  const Topic& algebra = topics_[4];
  const auto [a1_first, a1_count] = LevelGroup(arithmetic, 1);
  const auto [b3_first, b3_count] = LevelGroup(algebra, 3);
  const std::string query = "T" + arithmetic.code + "1=2&T" + algebra.code + "3=3&rnd=walk1";
  const std::string frame = Editor("action=gensheet_main&" + query);
  const std::string inner = AttributeValue(frame, "src");
  ASSERT_EQ(inner, "edit1.stmp?action=gensheet&" + query);
  rows = Rows(session_->Page(inner), "w");
  ASSERT_EQ(rows.size(), 5u);
  for (size_t i = 0; i < rows.size(); ++i) {
    const long long p = rows[i].position;
    if (i < 2) {
      EXPECT_TRUE(p >= a1_first && p < a1_first + a1_count) << p;
    } else {
      EXPECT_TRUE(p >= b3_first && p < b3_first + b3_count) << p;
    }
    if (i > 0) {
      EXPECT_LT(rows[i - 1].position, p);
    }
    EXPECT_EQ(rows[i].place, static_cast<long long>(i + 1));
  }
  EXPECT_EQ(Positions(Rows(session_->Page(inner), "w")), Positions(rows)) << "a reload draws nothing new";
  EXPECT_EQ(Counter(), 5);

  const std::vector<Row> cleared = Rows(Editor("action=clearall"), "w");
  EXPECT_TRUE(cleared.empty());
  EXPECT_EQ(Counter(), 0);
}

TEST_F(DiscWalk, CopiesAProblemAndTheWorksheetAsRtf) {
  // A problem whose solution is a metafile, and one with a figure.
  long long metafile = -1, figure = -1;
  for (long long position = 0; position < ProblemCount() && (metafile < 0 || figure < 0); ++position) {
    const auto [problem, solution] = PagePictures(position);
    if (metafile < 0 && !solution.empty() && solution[0].ends_with(".wmf")) metafile = position;
    if (figure < 0 && problem.size() >= 2) figure = position;
  }
  ASSERT_GE(metafile, 0);
  ASSERT_GE(figure, 0);

  for (const long long position : {metafile, figure}) {
    const auto [problem, solution] = PagePictures(position);
    const std::string id = ProblemId(position);
    const std::map<std::string, size_t> pictures = {
        {"p", problem.size()}, {"s", solution.size()}, {"b", problem.size() + solution.size()}};
    for (const auto& [type, count] : pictures) {
      SCOPED_TRACE(id + " type " + type);
      const std::string answer = session_->Page("clipbo.stmp?type=" + type + "&id=" + id);
      EXPECT_NE(answer.find("Copied to the clipboard"), std::string::npos);
      const std::string rtf = session_->Clipboard();
      ExpectRtfDocument(rtf, "copy " + type);
      EXPECT_EQ(PictureGroups(rtf), static_cast<int>(count));
      EXPECT_NE(rtf.find("roblem " + FormatThousands(position + 1)), std::string::npos)
          << rtf.substr(0, 400);
      EXPECT_NE(rtf.find(TopicOf(position + 1).name), std::string::npos);
    }
  }

  // The worksheet, in each of its four forms.
  const std::vector<long long> sheet = {figure, metafile, topics_[12].first + 5};
  size_t problem_pictures = 0, solution_pictures = 0;
  for (const long long position : sheet) {
    session_->Page("wadd.stmp?id=" + ProblemId(position));
    const auto [problem, solution] = PagePictures(position);
    problem_pictures += problem.size();
    solution_pictures += solution.size();
  }
  const std::map<std::string, size_t> forms = {{"cl_pr", problem_pictures},
                                               {"cl_pr_num", problem_pictures},
                                               {"cl_w_sol", problem_pictures + solution_pictures},
                                               {"cl_sol", solution_pictures}};
  for (const auto& [type, count] : forms) {
    SCOPED_TRACE(type);
    EXPECT_NE(session_->Page("clipbo.stmp?type=" + type).find("Copied to the clipboard"), std::string::npos);
    const std::string rtf = session_->Clipboard();
    ExpectRtfDocument(rtf, type);
    EXPECT_EQ(PictureGroups(rtf), static_cast<int>(count));
    EXPECT_NE(rtf.find("Orvella practice problems"), std::string::npos);
    EXPECT_NE(rtf.find("You may copy and print them"), std::string::npos);
    for (size_t place = 1; place <= sheet.size(); ++place) {
      EXPECT_NE(rtf.find("\\b " + std::to_string(place) + ".\\b0"), std::string::npos) << place;
    }
    if (type != "cl_pr") {
      for (const long long position : sheet) {
        EXPECT_NE(rtf.find("roblem " + FormatThousands(position + 1)), std::string::npos) << position;
      }
    }
  }

  // An empty worksheet copies its head and closing only.
  session_->Page("edit1.stmp?action=clearall");
  session_->Page("clipbo.stmp?type=cl_pr");
  const std::string empty = session_->Clipboard();
  ExpectRtfDocument(empty, "empty worksheet");
  EXPECT_EQ(PictureGroups(empty), 0);
  EXPECT_EQ(empty.find("\\b 1.\\b0"), std::string::npos);
}

}  // namespace
}  // namespace qil::test
