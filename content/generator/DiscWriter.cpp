#include "DiscWriter.h"

#include <fstream>
#include <stdexcept>

#include "Artwork.h"
#include "MathText.h"
#include "Rules.h"
#include "WmfRecorder.h"
#include "base/Convert.h"

namespace qil::disc {

namespace {

constexpr int kSheetWidth = 620;

class Output {
 public:
  explicit Output(std::filesystem::path root) : root_(std::move(root)) {}

  void Write(const std::string& relative, const std::string& text) {
    Write(relative, Bytes(text.begin(), text.end()));
  }

  void Write(const std::string& relative, const Bytes& data) {
    std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
    bytes_ += data.size();
  }

  uint64_t Total() const { return bytes_; }

 private:
  std::filesystem::path root_;
  uint64_t bytes_ = 0;
};

std::string Padded(int number) {
  std::string s = std::to_string(number);
  return std::string(s.size() < 4 ? 4 - s.size() : 0, '0') + s;
}

std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

const Group& GroupOf(const Topic& topic) {
  for (const Group& g : Groups()) {
    if (g.letter == topic.code[0]) return g;
  }
  throw std::runtime_error("topic " + topic.code + " has no main group");
}

void WriteProblem(Output& out, Renderer& renderer, const BankEntry& entry, uint64_t seed, DiscReport& report) {
  const Problem& p = entry.problem;
  const std::string dir = "problems/" + entry.Code() + "/" + Padded(entry.number) + "/";
  const ProblemFormats formats =
      FormatsFor(seed, entry.Code(), entry.number, HasFormulas(p.statement), HasFormulas(p.solution));
  int index = 0;
  auto write = [&](int width, int height, const Bytes& bytes, PictureFormat format, const std::string& alt) {
    PagePicture pic{"M_image" + std::to_string(++index) + Extension(format), width, height, alt};
    out.Write(dir + pic.name, bytes);
    ++report.pictures[Extension(format)];
    return pic;
  };
  auto save = [&](const Raster& raster, PictureFormat format, const std::string& alt) {
    return write(raster.width, raster.height, Encode(raster, format), format, alt);
  };
  auto sheet = [&](const Sheet& s, PictureFormat format, bool vector, const std::string& alt) {
    if (!vector) return save(renderer.RenderSheet(s, kSheetWidth), format, alt);
    VectorPicture picture = RecordSheet(renderer, s, kSheetWidth);
    ++report.vectorMetafiles;
    const Bytes bytes = format == PictureFormat::kWmz ? Gzip(picture.wmf, "picture.wmf") : picture.wmf;
    return write(picture.width, picture.height, bytes, format, alt);
  };

  std::vector<PagePicture> problemPictures, solutionPictures;
  problemPictures.push_back(sheet(p.statement, formats.statement, formats.vectorStatement, p.statement.Plain()));
  if (p.figure) {
    Raster drawn;
    try {
      drawn = renderer.RenderFigure(*p.figure);
    } catch (const LabelCut& e) {
      throw RuleBroken(entry.Code() + " #" + std::to_string(entry.number) + ": broken rule \"labels inside their picture\" (" +
                       e.what() + ") in: " + p.statement.Plain());
    }
    PagePicture figure = save(drawn, formats.figure, "Figure: " + p.figure->description);
    problemPictures.push_back(figure);
    if (p.figureInSolution) solutionPictures.push_back(figure);
  }
  solutionPictures.push_back(
      sheet(p.solution, formats.solution, formats.vectorSolution, "Solution: " + p.solution.Plain()));
  out.Write(dir + "P.htm", ProblemPageHtml("problem", problemPictures));
  out.Write(dir + "S.htm", ProblemPageHtml("solution", solutionPictures));
  ++report.problems;
}

void WriteDatabaseLists(Output& out) {
  std::vector<std::string> endpoints, menu;
  for (const Topic& t : Topics()) {
    endpoints.push_back(t.code + "=" + t.name);
    menu.push_back("s" + t.code + "=topics/" + t.code + ".htm");
  }
  out.Write("db/endpoints.txt", Crlf(endpoints));
  out.Write("db/menuid.txt", Crlf(menu));
}

void WriteArtwork(Output& out, Renderer& renderer, const DiscReport& report) {
  for (char d = '0'; d <= '9'; ++d) {
    out.Write(std::string("images/szamok_problem/n") + d + ".jpg", EncodeJpeg(ProblemDigit(renderer, d), 95));
    out.Write(std::string("images/szamok/n") + d + ".jpg", EncodeJpeg(CounterDigit(renderer, d), 95));
  }
  out.Write("images/szamok_problem/nv.jpg", EncodeJpeg(ProblemSeparator(renderer), 95));
  std::string figures = FormatThousands(report.problems) + " problems in " + std::to_string(report.topics) +
                        " topics, each with a worked solution";
  out.Write("about.jpg", EncodeJpeg(AboutPicture(renderer, figures), 90));
}

}  // namespace

std::string ProblemPageHtml(const std::string& cssClass, const std::vector<PagePicture>& pictures) {
  std::string html = "<div class=\"" + cssClass + "\">\n";
  for (size_t i = 0; i < pictures.size(); ++i) {
    const PagePicture& pic = pictures[i];
    html += std::string(i == 0 ? "" : "<br>\n") + "<img src=\"" + pic.name + "\" width=\"" + std::to_string(pic.width) +
            "\" height=\"" + std::to_string(pic.height) + "\" alt=\"" + HtmlEscape(pic.alt) + "\">\n";
  }
  return html + "</div>\n";
}

std::string TopicPageHtml(const Topic& topic, const std::string& groupName) {
  const std::string main = topic.code.substr(0, 1), sub = topic.code.substr(1);
  // This edition shows level 4 problems as level 3.
  const int shown[3] = {topic.counts[0], topic.counts[1], topic.counts[2] + topic.counts[3]};
  std::string levels;
  for (int i = 0; i < 3; ++i) {
    levels += "<tr><th>Level " + std::to_string(i + 1) + "</th><td>" + std::to_string(shown[i]) + " problems</td></tr>\n";
  }
  int total = shown[0] + shown[1] + shown[2];
  return "<!DOCTYPE html>\n"
         "<html lang=\"en\">\n<head>\n<meta charset=\"us-ascii\">\n<title>" + HtmlEscape(topic.name) + "</title>\n"
         "<link rel=\"stylesheet\" href=\"../disc.css\">\n"
         "</head>\n<body class=\"page\">\n<main class=\"sheet topic-page\">\n"
         "<p class=\"topic-group\">" + HtmlEscape(groupName) + " &middot; topic " + topic.code + "</p>\n"
         "<h1>" + HtmlEscape(topic.name) + "</h1>\n"
         "<p>" + HtmlEscape(topic.summary) + "</p>\n"
         "<p>The topic holds " + std::to_string(total) + " problems, each with a worked solution:</p>\n"
         "<table>\n" + levels + "</table>\n"
         "<p><a class=\"button\" href=\"../mathlist.stmp?main=" + main + "&amp;sub=" + sub + "\">List of problems</a>\n"
         "<a href=\"../main.stmp\">All topics and numbers</a></p>\n"
         "</main>\n</body>\n</html>\n";
}

ProblemFormats FormatsFor(uint64_t seed, const std::string& code, int number, bool formulaStatement,
                          bool formulaSolution) {
  Rng rng = Rng::Derive(seed, "format:" + code, static_cast<uint64_t>(number));
  const int64_t h = rng.Range(0, 999), f = rng.Range(0, 999), v = rng.Range(0, 999);
  ProblemFormats out{PictureFormat::kPng, PictureFormat::kPng, PictureFormat::kPng};
  if (h < 50) out.statement = PictureFormat::kJpeg;
  if (h >= 50 && h < 65) out.statement = PictureFormat::kBmp;
  if (h >= 70 && h < 80) out.solution = PictureFormat::kWmf;
  if (h >= 80 && h < 95) out.solution = PictureFormat::kWmz;
  if (f < 200) out.figure = PictureFormat::kJpeg;
  // Solutions in a metafile are vector metafiles when they have formulas, but for
  // a few that keep a bitmap inside the metafile. More sheets with formulas become
  // vector metafiles: statements and solutions, half WMF, half WMZ.
  const bool bitmapMetafile = (h >= 70 && h < 73) || (h >= 92 && h < 95);
  out.vectorSolution = out.solution != PictureFormat::kPng && formulaSolution && !bitmapMetafile;
  if (formulaStatement && out.statement == PictureFormat::kPng && v < 150) {
    out.statement = v < 75 ? PictureFormat::kWmf : PictureFormat::kWmz;
    out.vectorStatement = true;
  }
  if (formulaSolution && out.solution == PictureFormat::kPng && v >= 150 && v < 240) {
    out.solution = v < 195 ? PictureFormat::kWmf : PictureFormat::kWmz;
    out.vectorSolution = true;
  }
  return out;
}

bool HasFormulas(const Sheet& sheet) {
  for (const Block& b : sheet.Blocks()) {
    if (HasSymbols(b.markup)) return true;
    for (const Piece& piece : b.formula.Pieces()) {
      if (piece.kind != Piece::Kind::kText || HasSymbols(piece.top)) return true;
    }
  }
  return false;
}

DiscReport WriteDisc(const std::filesystem::path& dir, uint64_t seed) {
  DiscReport report;
  std::vector<BankEntry> bank = GenerateBank(seed, &report.redrawn);
  Renderer renderer;
  Output out(dir);
  report.topics = static_cast<int>(Topics().size());
  for (const BankEntry& entry : bank) WriteProblem(out, renderer, entry, seed, report);
  WriteDatabaseLists(out);
  for (const Topic& t : Topics()) out.Write("topics/" + t.code + ".htm", TopicPageHtml(t, GroupOf(t).name));
  WriteArtwork(out, renderer, report);
  report.bytes = out.Total();
  return report;
}

}  // namespace qil::disc
