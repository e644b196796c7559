// The browsing modules in this process: start-up registration, the worksheet
// comment markers of the problem page (set through the session), and modules
// run without a database.
#include <gtest/gtest.h>

#include "richtext/RichTextEditor.h"
#include "platform/Platform.h"

#include <memory>

#include "framework/ModuleManager.h"
#include "framework/Session.h"
#include "framework/TestArchive.h"
#include "mathdb/BankFixture.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/BrowseDisc.h"
#include "modules/BrowsePages.h"
#include "shell/Engine.h"
#include "shell/Fetch.h"

namespace qil {
namespace {

class BrowseModules : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    disc_ = std::make_unique<test::BrowseDisc>();
    EngineOptions options;
    options.ArchivePath = disc_->PackHere().string();
    std::string error;
    engine_ = StartEngine(options, error);
    ASSERT_NE(engine_, nullptr) << error;
  }
  static void TearDownTestSuite() {
    engine_.reset();
    disc_.reset();
  }

  static std::string Body(const std::string& path) {
    return FetchAddress("qilproto://qilproto_local/" + path).Body;
  }
  static void SetWorksheet(const std::string& list) {
    Session& session = *engine_->Manager().DefaultSession();
    session.GetVar("ws");
    session.SetVar("ws", list);
  }

  static std::unique_ptr<test::BrowseDisc> disc_;
  static std::unique_ptr<Engine> engine_;
};

std::unique_ptr<test::BrowseDisc> BrowseModules::disc_;
std::unique_ptr<Engine> BrowseModules::engine_;

TEST_F(BrowseModules, StartUpLoadsTheEditionsDatabaseAndRegistersThePages) {
  ModuleManager& manager = engine_->Manager();
  for (const char* name : {"mathlist", "alsonaviga", "problem_lent", "mathgfx", "solution", "main",
                           "mathgoto"}) {
    EXPECT_TRUE(manager.HasModule(name)) << name;
  }
  auto* db = manager.GetObjectAs<LevelFoldingDatabase>("MathDBManager");
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->RecordCount(), test::BrowseDisc::kRecordCount);
  EXPECT_EQ(db->GetCode("64"), "B013");  // loaded by the edition: level 4 reads 3
  EXPECT_NE(manager.GetObjectAs<ScriptConstant>("PRODUCTNAME"), nullptr);
}

TEST_F(BrowseModules, ProblemOnTheWorksheetIsCommentedOut) {
  const auto marked = [](const std::string& id) {
    return Body("solution.stmp?id=" + id).find(" <!--ADD-->\n") != std::string::npos;
  };
  const auto unmarked = [](const std::string& id) {
    return Body("solution.stmp?id=" + id).find(" ADD\n") != std::string::npos;
  };

  SetWorksheet("5,123,77");
  EXPECT_TRUE(marked("000123"));
  EXPECT_TRUE(marked("123"));
  EXPECT_TRUE(marked("5"));
  EXPECT_TRUE(unmarked("000012"));
  EXPECT_TRUE(unmarked("1230"));
  EXPECT_EQ(engine_->Manager().DefaultSession()->GetVar("ws").ToString(), "5,123,77");

  SetWorksheet("\"6\" 9");  // comma text: quoted items, blanks separate
  EXPECT_TRUE(marked("6"));
  EXPECT_TRUE(marked("000009"));

  SetWorksheet("0006");  // entries are compared as positions written without leading zeros
  EXPECT_TRUE(unmarked("6"));

  SetWorksheet("");
  EXPECT_TRUE(unmarked("5"));
}

TEST_F(BrowseModules, IndexRejectsCountsBeyondThirtyTwoBits) {
  // A counts list whose numbers add up past the largest problem number.
  test::BankSource bank(disc_->Root() / "huge");
  bank.SetEndpoints({"A01=One", "B01=Two"});
  bank.AddSimpleProblem("A011", "1");
  std::string region = bank.BuildRegion();
  const uint32_t counts = test::RegionWord(region, 16);
  const std::string sound = "A01=1\r\nB01=0\r\n";
  ASSERT_EQ(region.substr(counts, sound.size()), sound);
  const std::string damaged = "A01=2147483647\r\nB01=9\r\n";
  region.replace(counts, damaged.size(), damaged);  // over the padding and bundle behind it
  test::SetRegionWord(region, 20, static_cast<uint32_t>(damaged.size()));
  const std::string path = (disc_->Root() / "huge.dat").string();
  bank.WriteArchive(path, region);

  ArchiveReader archive;
  test::OpenArchive(archive, path);
  LevelFoldingDatabase db;
  db.Load(archive);
  test::TestArchive pages({{"main.stmp", "<%%template%%><%section name=body%>"
                                         "<%=rangeA01%> <%=rangeB01%><%/section%>"}});
  ModuleManager manager(&pages.Archive(), true);
  RichTextEditor editor;
  const PageContext context{db, editor, CurrentPlatform(), "Orvella"};
  RegisterPage<IndexPage>(manager, "main", context);
  MemoryStream stream;
  std::string content_type;
  manager.ServeRequest("/main.stmp", stream, content_type);
  EXPECT_EQ(stream.Bytes(), "<pre>Error executing template script: \"/main.stmp\"\r\n"
                            "The problem count of B01 is out of range.</pre>");
}

}  // namespace
}  // namespace qil
