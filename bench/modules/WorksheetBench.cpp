// Random worksheets that take every problem of a group: the worst case of the
// redraw loop (about n ln n draws for n problems). Compared in the same run
// with its limit, the bare draws with a bitmap for the duplicate test (no
// list, no database, no sorting), and with the linear duplicate search of a
// string list that the hash set replaces. Groups of 2,000 and 200 problems.
#include <benchmark/benchmark.h>

#include <vector>

#include "archive/ArchiveReader.h"
#include "base/Convert.h"
#include "base/StringList.h"
#include "mathdb/BankFixture.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "modules/WorksheetGenerator.h"
#include "platform/Platform.h"

namespace qil {
namespace {

// A disc with the group G011 of 2,000 problems (positions 0..1999) and the
// group H011 of 200 problems (positions 2000..2199), built once.
class BenchDisc {
 public:
  BenchDisc() {
    test::BankSource bank(dir_.Path());
    bank.SetEndpoints({"G01=Big", "H01=Small"});
    for (int i = 1; i <= 2000; ++i) bank.AddProblem("G011", std::to_string(i), {{"P.htm", "p"}});
    for (int i = 1; i <= 200; ++i) bank.AddProblem("H011", std::to_string(i), {{"P.htm", "p"}});
    bank.WriteArchive(dir_.Path() / "math.dat");
    test::OpenArchive(archive_, dir_.Path() / "math.dat");
    database_.Load(archive_);
  }
  const MathDatabase& Database() const { return database_; }

 private:
  test::TempDir dir_;
  ArchiveReader archive_;
  LevelFoldingDatabase database_;
};

const MathDatabase& Disc() {
  static const BenchDisc disc;
  return disc.Database();
}

// The request for all n problems of the group of that size.
StringList WholeGroupRequest(int n) {
  StringList params;
  params.Add("/edit1.stmp");
  params.Add(std::string(n == 2000 ? "TG011=" : "TH011=") + std::to_string(n));
  return params;
}

void BM_GenerateWholeGroup(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const MathDatabase& database = Disc();
  const StringList params = WholeGroupRequest(n);
  for (auto _ : state) {
    StringList worksheet;
    GenerateWorksheet(params, database, CurrentPlatform(), worksheet);
    if (worksheet.Count() != n) state.SkipWithError("worksheet is not the whole group");
    benchmark::DoNotOptimize(worksheet);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_GenerateWholeGroup)->Arg(2000)->Arg(200)->Unit(benchmark::kMicrosecond);

// The limit: the same draws, with nothing around them but a bitmap.
void BM_DrawsOnly(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  uint32_t seed = 45296789;
  int64_t draws = 0;
  for (auto _ : state) {
    WorksheetRandom random(seed++);
    std::vector<bool> taken(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      uint32_t offset;
      do {
        offset = random.Below(static_cast<uint32_t>(n));
        ++draws;
      } while (taken[offset]);
      taken[offset] = true;
    }
    benchmark::DoNotOptimize(taken);
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["draws_per_problem"] =
      static_cast<double>(draws) / static_cast<double>(state.iterations() * n);
}
BENCHMARK(BM_DrawsOnly)->Arg(2000)->Arg(200)->Unit(benchmark::kMicrosecond);

// For comparison: each duplicate test a linear search of the list's texts.
void BM_DrawsWithLinearSearch(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  uint32_t seed = 45296789;
  for (auto _ : state) {
    WorksheetRandom random(seed++);
    StringList worksheet;
    for (int i = 0; i < n; ++i) {
      std::string text;
      do {
        text = IntToStr(random.Below(static_cast<uint32_t>(n)));
      } while (worksheet.IndexOf(text) != -1);
      worksheet.Add(text);
    }
    benchmark::DoNotOptimize(worksheet);
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DrawsWithLinearSearch)->Arg(2000)->Arg(200)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qil
