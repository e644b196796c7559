// The math database with 100,000 problems: packing the bank, Load next to a
// bare ReadBlock of the same index bytes (goal: Load within 2x of the raw
// read), the memory Load adds, and GetPageText from a warm and a cold cache.
//
// The bank is generated once into a temporary folder and packed with the same
// code path as `qilcd pack`.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "archive/ArchiveReader.h"
#include "archive/PackFolder.h"
#include "base/MemoryStream.h"
#include "mathdb/BankBuilder.h"
#include "mathdb/MathDatabase.h"

namespace fs = std::filesystem;

namespace qil {
namespace {

constexpr int kProblems = 100000;
constexpr int kEndpoints = 25;  // 4 levels x 1,000 problems each

void Write(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// The generated bank and its packed archive, made once for the whole run.
class Bank {
 public:
  static Bank& Get() {
    static Bank bank;
    return bank;
  }
  const fs::path& ArchivePath() const { return archive_; }
  const fs::path& Source() const { return source_; }
  double SecondsToGenerate() const { return generate_seconds_; }

  // Packs the bank as `qilcd pack` does.
  void Pack(const fs::path& out) const {
    PackOptions options;
    AddProblemBankToPacking(options);
    PackFolder(source_, out, options);
  }

  ~Bank() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

 private:
  Bank() {
    std::string pattern = (fs::temp_directory_path() / "qil-mathdb-bench-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    source_ = root_ / "src";
    archive_ = root_ / "math.dat";
    const auto start = std::chrono::steady_clock::now();
    fs::create_directories(source_ / "db");
    std::string endpoints;
    std::string menu;
    for (int e = 0; e < kEndpoints; ++e) {
      const std::string code = std::string(1, static_cast<char>('A' + e % 5)) + (e < 10 ? "0" : "") +
                               std::to_string(e);
      endpoints += code + "=Topic " + std::to_string(e) + "\r\n";
      menu += "s" + code + "=topics/" + code + ".htm\r\n";
      for (int level = 1; level <= 4; ++level) {
        for (int n = 1; n <= kProblems / kEndpoints / 4; ++n) {
          const fs::path folder = source_ / "problems" / (code + std::to_string(level)) / std::to_string(n);
          fs::create_directories(folder);
          Write(folder / "P.htm", "<p>Problem " + std::to_string(n) +
                                      ": <img src=\"M_image1.png\"> compute the value.</p>\r\n"
                                      "<p>Second line of the statement.</p>\r\n");
          Write(folder / "S.htm", "<p>Solution <img src=\"M_image2.png\"></p>\r\n");
        }
      }
    }
    Write(source_ / "db" / "endpoints.txt", endpoints);
    Write(source_ / "db" / "menuid.txt", menu);
    generate_seconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Pack(archive_);
  }

  fs::path root_;
  fs::path source_;
  fs::path archive_;
  double generate_seconds_ = 0;
};

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t total = 0;
  size_t resident = 0;
  statm >> total >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

void BM_PackBank(benchmark::State& state) {
  Bank& bank = Bank::Get();
  const fs::path out = bank.ArchivePath().parent_path() / "repacked.dat";
  for (auto _ : state) bank.Pack(out);
  state.counters["problems"] = kProblems;
  state.counters["archive_MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
  state.counters["tree_generation_s"] = bank.SecondsToGenerate();
}
BENCHMARK(BM_PackBank)->Iterations(2)->Unit(benchmark::kMillisecond);

// The resident memory and heap a Load of the bank adds, measured once on a
// trimmed heap so that what Load touches shows as new resident memory.
void MeasureLoadMemory(ArchiveReader& archive, benchmark::State& state) {
  malloc_trim(0);
  const size_t rss_before = ResidentBytes();
  const size_t heap_before = mallinfo2().uordblks;
  MathDatabase db;
  db.Load(archive);
  state.counters["rss_added_KB"] = (static_cast<double>(ResidentBytes()) - static_cast<double>(rss_before)) / 1024;
  state.counters["heap_added_KB"] =
      (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(heap_before)) / 1024;
}

// CPU time of the calling thread (user and system): steadier than wall time
// on a machine shared with other work.
double ThreadCpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Each iteration times a full Load and then a raw ReadBlock of the same index
// bytes on the same open archive, both in thread CPU time; the iteration time
// is Load's.
void BM_LoadAgainstRawIndexRead(benchmark::State& state) {
  ArchiveReader archive;
  archive.Open(Bank::Get().ArchivePath().string(), std::string(), true);
  MeasureLoadMemory(archive, state);
  double raw_ms = 0;
  double load_ms = 0;
  for (auto _ : state) {
    auto db = std::make_unique<MathDatabase>();
    double start = ThreadCpuMilliseconds();
    db->Load(archive);
    const double elapsed = ThreadCpuMilliseconds() - start;
    load_ms += elapsed;
    state.SetIterationTime(elapsed / 1e3);
    if (db->RecordCount() != kProblems) state.SkipWithError("the bank did not load whole");

    const auto index_offset = static_cast<uint32_t>(db->Header().IndexOffset);
    const auto index_size = static_cast<uint32_t>(db->RecordCount()) * kMathIndexRecordSize;
    MemoryStream stream;
    start = ThreadCpuMilliseconds();
    archive.ReadBlock(index_offset, index_size, std::string(), stream);
    raw_ms += ThreadCpuMilliseconds() - start;
    benchmark::DoNotOptimize(stream.Data());
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["raw_read_ms"] = raw_ms / n;
  state.counters["load_ms"] = load_ms / n;
  state.counters["load_per_raw"] = load_ms / raw_ms;
  state.counters["goal_load_per_raw"] = 2.0;
  state.counters["within_goal"] = load_ms <= 2.0 * raw_ms ? 1 : 0;
}
BENCHMARK(BM_LoadAgainstRawIndexRead)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

class PageText {
 public:
  PageText() {
    archive_.Open(Bank::Get().ArchivePath().string(), std::string(), true);
    db_.Load(archive_);
  }
  MathDatabase& db() { return db_; }

 private:
  ArchiveReader archive_;
  MathDatabase db_;
};

// The same problem again and again: every call is a cache hit.
void BM_GetPageTextWarm(benchmark::State& state) {
  PageText page;
  StringList lines;
  page.db().GetPageText("012345", lines, pkProblem, "mathgfx.stmp");
  if (lines.Count() != 2) state.SkipWithError("no page text");
  for (auto _ : state) {
    lines.Clear();
    page.db().GetPageText("012345", lines, pkProblem, "mathgfx.stmp");
    benchmark::DoNotOptimize(lines.Count());
  }
}
BENCHMARK(BM_GetPageTextWarm)->Unit(benchmark::kMicrosecond);

// Problems in a stride that never repeats within the cache's reach: every
// call reads and parses a bundle from the archive.
void BM_GetPageTextCold(benchmark::State& state) {
  PageText page;
  StringList lines;
  int32_t position = 0;
  for (auto _ : state) {
    lines.Clear();
    page.db().GetPageText(ProblemID(position), lines, pkProblem, "mathgfx.stmp");
    benchmark::DoNotOptimize(lines.Count());
    position = (position + 997) % kProblems;
    if (lines.Count() != 2) state.SkipWithError("no page text");
  }
}
BENCHMARK(BM_GetPageTextCold)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qil
