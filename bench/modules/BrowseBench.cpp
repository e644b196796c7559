// One list page of 25 problems ("mathlist.stmp") with a cold and with a warm
// bundle cache, next to its limit: reading the same 25 bundles with ReadBlock
// alone.
//
// The bank: one endpoint of 200 problems, each bundle about 13 KB (a 3 KB
// problem page, a 2 KB solution page and two 4 KB pictures). Cold runs cycle
// through the endpoint's 8 pages; 200 bundles in turn through a 64-entry
// cache that evicts the oldest entry means every bundle is a miss. Warm runs
// show page 1 again and again. The template and its parsing are part of every
// page, as in the engine.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "archive/ArchiveReader.h"
#include "archive/PackFolder.h"
#include "base/MemoryStream.h"
#include "framework/ModuleManager.h"
#include "mathdb/BankBuilder.h"
#include "mathdb/BankFixture.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/BrowsePages.h"
#include "platform/Platform.h"
#include "richtext/RichTextEditor.h"

namespace qil {
namespace {

constexpr int kProblems = 200;
constexpr int kPages = kProblems / kPageSize;

// A page text of about size bytes that refers to the picture named.
std::string PageText(const std::string& title, const std::string& picture, size_t size) {
  std::string text = "<p>" + title + " <img src=\"" + picture + "\"></p>\r\n";
  while (text.size() < size) text += "<p>Solve for x: 3x + 7 = 22, then check the result.</p>\r\n";
  return text;
}

// The packed disc with the database loaded and the list module registered.
class Disc {
 public:
  static Disc& Get() {
    static Disc disc;
    return disc;
  }

  ModuleManager& Manager() { return *manager_; }
  ArchiveReader& Archive() { return archive_; }
  MathDatabase& DB() { return db_; }

 private:
  Disc() {
    test::BankSource bank(dir_.Path() / "src");
    bank.SetEndpoints({"A01=Equations"});
    test::WriteFile(dir_.Path() / "src" / "mathlist.stmp",
                    "<%%template%%><%section name=header%><html><body><table>\r\n<%/section%>"
                    "<%section name=body%><tr><td><a name=\"<%=aname%>\"></a><%=num%></td>"
                    "<td><%=endpcode%> <%=level%></td><td><a href=\"solution.stmp?id=<%=id%>\">"
                    "<%=problem%></a></td></tr>\r\n<%/section%>"
                    "<%section name=footer%></table></body></html><%/section%>");
    const std::string picture(4096, '\x5a');
    for (int number = 1; number <= kProblems; ++number) {
      const std::string title = "Problem " + std::to_string(number);
      bank.AddProblem("A01" + std::to_string(1 + number % 4), std::to_string(number),
                      {{"P.htm", PageText(title, "M_image1.gif", 3000)},
                       {"S.htm", PageText(title, "M_image2.gif", 2000)},
                       {"M_image1.gif", picture},
                       {"M_image2.gif", picture}});
    }
    PackOptions options;
    AddProblemBankToPacking(options);
    PackFolder(bank.Root(), dir_.Path() / "math.dat", options);
    test::OpenArchive(archive_, dir_.Path() / "math.dat");
    db_.Load(archive_);
    manager_ = std::make_unique<ModuleManager>(&archive_, true);
    RegisterPage<ProblemListPage>(*manager_, "mathlist", context_);
  }

  test::TempDir dir_;
  ArchiveReader archive_;
  LevelFoldingDatabase db_;
  RichTextEditor editor_;
  PageContext context_{db_, editor_, CurrentPlatform(), "Orvella"};
  std::unique_ptr<ModuleManager> manager_;
};

void ServePage(benchmark::State& state, int page) {
  MemoryStream stream;
  std::string content_type;
  Disc::Get().Manager().ServeRequest("/mathlist.stmp?main=A&sub=01&packet=" + std::to_string(page),
                                     stream, content_type);
  if (stream.View().find("</html>") == std::string_view::npos) state.SkipWithError("no list page");
  benchmark::DoNotOptimize(stream.Data());
}

void BM_ListPageColdCache(benchmark::State& state) {
  Disc::Get();
  int page = 0;
  for (auto _ : state) {
    ServePage(state, 1 + page);
    page = (page + 1) % kPages;
  }
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

void BM_ListPageWarmCache(benchmark::State& state) {
  Disc::Get();
  ServePage(state, 1);
  for (auto _ : state) ServePage(state, 1);
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

// The limit of a cold page: the 25 bundles' bytes deciphered, nothing else.
void BM_ReadBlockOf25Bundles(benchmark::State& state) {
  Disc& disc = Disc::Get();
  const auto& index = disc.DB().Index();
  int page = 0;
  MemoryStream stream;
  for (auto _ : state) {
    for (int i = page * kPageSize; i < (page + 1) * kPageSize; ++i) {
      disc.Archive().ReadBlock(index[i].BlockOffset, index[i].BlockSize, std::string(), stream);
      benchmark::DoNotOptimize(stream.Data());
    }
    page = (page + 1) % kPages;
  }
  state.counters["pages/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ListPageColdCache)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListPageWarmCache)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadBlockOf25Bundles)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qil
