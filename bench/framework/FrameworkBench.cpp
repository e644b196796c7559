// The content server and the template engine against their limits.
//
//  - GetContent of a 1 MiB plain entry against ReadFile of the same entry
//    straight from the archive: the server's own share (routing, MIME lookup,
//    stream handling) should stay within 10 % of the read itself.
//  - A page of the usual shape: parse a template and write its header, 25
//    body sections and the footer, with four variables set per row.
//  - Parsing large templates: the cost must grow linearly with the size
//    (Google Benchmark fits the complexity; compare against the copy of the
//    same bytes, which is the floor).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "base/MemoryStream.h"
#include "framework/SectionedTemplate.h"
#include "server/ContentServer.h"

namespace {

constexpr size_t kEntrySize = 1 << 20;

// One archive with a 1 MiB entry, opened once per run and removed at exit.
class BenchArchive {
 public:
  BenchArchive() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qil-fwbench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder_ = pattern;
    std::string bytes(kEntrySize, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + (i >> 9));
    qil::ArchiveWriter writer;
    writer.AddEntry("pictures/big.png", bytes);
    writer.WriteToFile(folder_ + "/math.dat");
    archive_.Open(folder_ + "/math.dat", std::string(qil::ArchiveWriter::kDefaultProductId), false);
    server_ = std::make_unique<qil::ContentServer>(archive_);
  }
  ~BenchArchive() {
    server_.reset();
    archive_.Close();
    std::filesystem::remove_all(folder_);
  }
  qil::ArchiveReader& Archive() { return archive_; }
  qil::ContentServer& Server() { return *server_; }

 private:
  std::string folder_;
  qil::ArchiveReader archive_;
  std::unique_ptr<qil::ContentServer> server_;
};

BenchArchive& Shared() {
  static BenchArchive archive;
  return archive;
}

void BM_ReadFile1MiB(benchmark::State& state) {
  qil::ArchiveReader& archive = Shared().Archive();
  for (auto _ : state) {
    qil::MemoryStream stream;
    archive.ReadFile("pictures/big.png", stream);
    benchmark::DoNotOptimize(stream.Data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_ReadFile1MiB)->Unit(benchmark::kMicrosecond);

void BM_GetContent1MiB(benchmark::State& state) {
  qil::ContentServer& server = Shared().Server();
  for (auto _ : state) {
    std::string mime;
    int32_t size = -1;
    std::unique_ptr<qil::MemoryStream> stream;
    server.GetContent("qilproto://qilproto_local/pictures/big.png?x=1", mime, size, stream);
    benchmark::DoNotOptimize(stream->Data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_GetContent1MiB)->Unit(benchmark::kMicrosecond);

std::string PageTemplate() {
  std::string text = "<%%template%%>";
  text += "<%section name=header%><html><head><title><%=productname%></title></head><body>"
          "<h1><%=title%></h1><table>\r\n<%/section%>";
  text += "<%section name=body%><tr><td><a name=\"<%=aname%>\"></a><%=number%></td>"
          "<td><img src=\"mathgfx.stmp?ID=<%=id%>&gfx=0\"></td><td>" +
          std::string(300, 'p') + "<%=code%></td></tr>\r\n<%/section%>";
  text += "<%section name=footer%></table><%=count%> problems</body></html><%/section%>";
  return text;
}

void BM_RenderPage25Rows(benchmark::State& state) {
  const std::string source = PageTemplate();
  for (auto _ : state) {
    auto page = qil::SectionedTemplate::CreateFromText("/mathlist.stmp", source);
    qil::MemoryStream out;
    qil::TemplateSection& header = page->SectionByName("header");
    header.SetVar("productname", "Orvella");
    header.SetVar("title", "Problems A01");
    header.WriteToStream(out);
    qil::TemplateSection& body = page->SectionByName("body");
    for (int row = 0; row < 25; ++row) {
      body.SetVar("aname", "p000" + std::to_string(100 + row));
      body.SetVar("number", row + 1);
      body.SetVar("id", "000" + std::to_string(100 + row));
      body.SetVar("code", "A013");
      body.WriteToStream(out);
    }
    qil::TemplateSection& footer = page->SectionByName("footer");
    footer.SetVar("count", 25);
    footer.WriteToStream(out);
    benchmark::DoNotOptimize(out.Data());
  }
}
BENCHMARK(BM_RenderPage25Rows)->Unit(benchmark::kMicrosecond);

// A template of about n bytes: sections of 500 bytes with two slots and a dropped tag.
std::string LargeTemplate(size_t n) {
  std::string text = "<%%template%%>";
  const std::string filler(440, 'x');
  for (int i = 0; text.size() < n; ++i) {
    text += "<%section name=s" + std::to_string(i) + "%>" + filler +
            "<%=a%>-<%drop%><%=b%><%/section%>";
  }
  return text;
}

void BM_ParseLargeTemplate(benchmark::State& state) {
  const std::string source = LargeTemplate(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto page = qil::SectionedTemplate::CreateFromText("/big.stmp", source);
    benchmark::DoNotOptimize(page.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseLargeTemplate)
    ->RangeMultiplier(4)
    ->Range(1 << 18, 16 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

void BM_CopyLargeTemplate(benchmark::State& state) {
  const std::string source = LargeTemplate(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::string copy = source;
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CopyLargeTemplate)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
