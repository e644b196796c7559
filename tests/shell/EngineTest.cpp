#include "shell/Engine.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/ArchiveWriter.h"
#include "archive/ArchiveReader.h"
#include "common/TestFiles.h"
#include "framework/ModuleManager.h"
#include "framework/Session.h"
#include "protocol/ProtocolHandler.h"
#include "server/ContentServer.h"
#include "shell/Fetch.h"

namespace qil {
namespace {

// An archive file on disk for one test, removed afterwards.
class ArchiveFile {
 public:
  explicit ArchiveFile(const std::string& product_id = "QVRTLNDX100")
      : path_(test::TempPath("qil-engine") + ".dat") {
    ArchiveWriter writer;
    writer.SetProductId(product_id);
    writer.AddEntry("index.html", "<html>start</html>");
    writer.AddEntry("page.stmp", "<%%template%%><%section name=body%>x<%/section%>");
    writer.WriteToFile(path_);
  }
  ~ArchiveFile() { std::filesystem::remove(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

EngineOptions Options(const std::string& archive) {
  EngineOptions options;
  options.ArchivePath = archive;
  return options;
}

TEST(Engine, StartsServesAndShutsDownInOrder) {
  ArchiveFile file;
  {
    Engine engine(Options(file.Path()));
    EXPECT_TRUE(engine.Server().Registered());
    EXPECT_EQ(SchemeName, "qilproto");
    EXPECT_EQ(engine.Manager().GetObjectAs<ScriptConstant>("PRODUCTNAME")->Value.ToString(),
              "Orvella");

    const FetchResult page = FetchAddress("qilproto://qilproto_local/index.html");
    EXPECT_TRUE(page.Found);
    EXPECT_EQ(page.MimeType, "text/html");
    EXPECT_EQ(page.Body, "<html>start</html>");

    const FetchResult missing = FetchAddress("qilproto://qilproto_local/none.html");
    EXPECT_FALSE(missing.Found);
  }
  EXPECT_FALSE(RequestHandler);  // the scheme went with the engine
  EXPECT_FALSE(FetchAddress("qilproto://qilproto_local/index.html").Found);
}

TEST(Engine, StartUpFailuresCarryTheErrorBoxText) {
  std::string error;
  EXPECT_EQ(StartEngine(Options("/nonexistent/math.dat"), error), nullptr);
  EXPECT_EQ(error, "Cannot open file /nonexistent/math.dat");

  ArchiveFile other_product("OTHERPRODUCT");
  EXPECT_EQ(StartEngine(Options(other_product.Path()), error), nullptr);
  EXPECT_EQ(error, "Bad product ID.");
  EXPECT_FALSE(RequestHandler);

  const std::string junk = test::TempPath("qil-junk");
  test::WriteBytes(junk, std::string(200, 'j'));
  EXPECT_EQ(StartEngine(Options(junk), error), nullptr);
  EXPECT_EQ(error, "Bad archive header.");
  std::filesystem::remove(junk);
}

TEST(Engine, TwoEnginesInTurnEachServeTheirOwnArchive) {
  ArchiveFile file;
  for (int run = 0; run < 2; ++run) {
    std::string error;
    auto engine = StartEngine(Options(file.Path()), error);
    ASSERT_NE(engine, nullptr) << error;
    EXPECT_TRUE(FetchAddress("qilproto://qilproto_local/index.html").Found);
  }
}

}  // namespace
}  // namespace qil
