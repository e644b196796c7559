// The built demo disc through one `qilcd session`, as a student takes it: a
// topic's list, goto, a problem with the pictures of its statement and
// solution, the problem on the worksheet and in its editor, and copies to
// the clipboard whose RTF holds every picture the page shows. What each page
// says is tested in process; this shows the disc's templates and database
// working together.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>

#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "richtext/RtfTokenizer.h"

namespace qil::test {
namespace {

// The items of html that match pattern's first group, in order.
std::vector<std::string> Matches(const std::string& html, const std::string& pattern) {
  const std::regex re(pattern);
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), re); it != std::sregex_iterator(); ++it) {
    found.push_back((*it)[1]);
  }
  return found;
}

// Whether bytes start as a picture of the format of name's extension does.
bool HasPictureSignature(const std::string& name, const std::string& bytes) {
  static const std::map<std::string, std::string> kSignatures = {
      {"png", "\x89PNG"}, {"jpg", "\xFF\xD8\xFF"}, {"bmp", "BM"}, {"wmf", "\xD7\xCD\xC6\x9A"}, {"wmz", "\x1F\x8B"}};
  const auto signature = kSignatures.find(name.substr(name.rfind('.') + 1));
  return signature != kSignatures.end() && bytes.starts_with(signature->second);
}

TEST(DiscWalk, ListGotoProblemWorksheetAndCopies) {
  const char* disc = std::getenv("QIL_DEMO_DISC");
  if (QilcdPath().empty() || disc == nullptr) GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
  TempDir dir;
  QilcdSession session({"session", "--archive", disc, "--clipboard", dir.File("clip.rtf")});
  // The answer to address, which must be there with that MIME type.
  auto get = [&](const std::string& address, const std::string& mime = "text/html") {
    const SessionAnswer answer = session.Ask(address).value_or(SessionAnswer{});
    EXPECT_EQ(answer.status + " " + answer.mime, "200 " + mime) << address;
    EXPECT_FALSE(mime == "text/html" && IsErrorPage(answer.body)) << address << "\n" << answer.body;
    return answer.body;
  };

  // Of a topic's first page, the problem whose page shows the most pictures.
  std::string id;
  std::vector<std::string> pictures;
  bool solution_pictures = false;
  for (const std::string& candidate : Matches(get("mathlist.stmp?main=G&sub=01"), R"re(wadd\.stmp\?id=(\d{6})")re")) {
    const std::string page = get("solution.stmp?id=" + candidate);
    const std::vector<std::string> names = Matches(page, "mathgfx\\.stmp\\?ID=" + candidate + "&gfx=([^\"]+)\"");
    if (names.size() <= pictures.size()) continue;
    id = candidate;
    pictures = names;
    solution_pictures = page.find("gfx=", page.find("<div class=\"solution\">")) != std::string::npos;
  }
  ASSERT_TRUE(solution_pictures) << "the list shows no problem with pictures in its solution";
  for (const std::string& name : pictures) {
    EXPECT_TRUE(HasPictureSignature(name, get("mathgfx.stmp?ID=" + id + "&gfx=" + name, "application/octet-stream")))
        << name;
  }
  EXPECT_NE(get("mathgoto.stmp?goto=" + std::to_string(std::stoi(id) + 1)).find("src=\"solution.stmp?id=" + id),
            std::string::npos);
  get("wadd.stmp?id=" + id);
  EXPECT_NE(get("edit1.stmp").find("solution.stmp?id=" + id), std::string::npos) << "not in the editor";
  for (const std::string& copy : {"clipbo.stmp?type=b&id=" + id, std::string("clipbo.stmp?type=cl_w_sol")}) {
    std::filesystem::remove(dir.File("clip.rtf"));
    get(copy);
    const std::string rtf = ReadBytes(dir.File("clip.rtf"));
    EXPECT_TRUE(rtf.starts_with("{\\rtf1") && IsOneBalancedGroup(rtf)) << rtf.substr(0, 200);
    EXPECT_EQ(Matches(rtf, R"((\{\\pict\\wmetafile8))").size(), pictures.size()) << copy;
  }
}

}  // namespace
}  // namespace qil::test
