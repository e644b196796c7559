// The engine in process: a failed start leaves no scheme behind, and an
// engine answers the scheme while it lives and only then, also the second
// one started in the same process.
#include "shell/Engine.h"

#include <gtest/gtest.h>

#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "shell/Fetch.h"

namespace qil {
namespace {

TEST(Engine, AnswersTheSchemeWhileItLivesAndOnlyThen) {
  if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD (which packs the test disc) is not set";
  test::TempDir dir;
  const std::string index = "qilproto://qilproto_local/index.html";
  EngineOptions options;
  std::string error;
  options.ArchivePath = test::PackDisc(dir.Path(), {{"index.html", "x"}}, "other.dat", {"--product-id", "OTHER"});
  EXPECT_EQ(StartEngine(options, error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(FetchAddress(index).Found);
  options.ArchivePath = test::PackDisc(dir.Path(), {{"index.html", "<html>start</html>"}});
  for (int run = 0; run < 2; ++run) {
    const auto engine = StartEngine(options, error);
    ASSERT_NE(engine, nullptr) << error;
    const FetchResult page = FetchAddress(index);
    EXPECT_TRUE(page.Found);
    EXPECT_EQ(page.MimeType + " " + page.Body, "text/html <html>start</html>");
    EXPECT_FALSE(FetchAddress("qilproto://qilproto_local/none.html").Found);
  }
  EXPECT_FALSE(FetchAddress(index).Found) << "the scheme outlived the engine";
}

}  // namespace
}  // namespace qil
