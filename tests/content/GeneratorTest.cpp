// The demo disc's generator and what it built. Every problem's answer passes
// its own check and no changed answer does; the bank never repeats a problem,
// not even reordered or scaled; counts are worded in agreement, alt texts
// group fractions explicitly, and the rules name what breaks them;
// arithmetic stays exact or raises; each encoder's picture decodes with the
// engine's decoders to what was drawn; a sheet recorded as a metafile has the
// raster's size, its text in runs and its lines as records. In the tree the
// build generated, every page's pictures exist, decode at the size the page
// gives them and are not blank, the vector metafiles are well-formed, name
// only shipped fonts and Symbol and are many, the artwork fits its pages, and
// the same seed writes the same bytes. The packed disc holds the whole bank
// and a font family of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

#include "Bank.h"
#include "DiscWriter.h"
#include "Kit.h"
#include "MathText.h"
#include "Rules.h"
#include "WmfRecorder.h"
#include "base/LittleEndian.h"
#include "base/MemoryStream.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "metafile/TextEncoding.h"
#include "picture/Gunzip.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

namespace qil::disc {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

TEST(AnswerChecks, EveryAnswerPassesItsCheckAndNoChangedOneDoes) {
  for (const Topic& topic : Topics()) {
    for (int level = 1; level <= 4; ++level) {
      for (uint64_t seed = 1; seed <= 40; ++seed) {
        const std::string where = topic.code + std::to_string(level) + " seed " + std::to_string(seed);
        Problem p;
        ASSERT_NO_THROW(p = MakeChecked(topic, level, seed, 1, 0)) << where;
        EXPECT_FALSE(p.statement.Empty() || p.solution.Empty() || !p.check(p.answer)) << where;
        // A value missing, one added, each value one less and one more.
        std::vector<Answer> wrong = {Answer(p.answer.begin(), p.answer.end() - 1), p.answer};
        wrong[1].push_back(0);
        for (size_t i = 0; i < 2 * p.answer.size(); ++i) {
          wrong.push_back(p.answer);
          wrong.back()[i / 2] += i % 2 == 0 ? -1 : 1;
        }
        for (size_t i = 0; i < wrong.size(); ++i) EXPECT_FALSE(p.check(wrong[i])) << where << ": wrong answer " << i;
      }
    }
  }
}

TEST(AnswerChecks, AWrongAnswerStopsGeneration) {
  const Topic wrong{"Z09", "Broken", "", {1, 1, 1, 1}, [](Rng&, int) {
                      Problem p;  // answers 5 where its check wants 4
                      p.answer = {5};
                      p.check = [](const Answer& a) { return a == Answer{4}; };
                      return p;
                    }};
  EXPECT_THROW(MakeChecked(wrong, 3, 7, 12, 0), CheckFailed);
}

TEST(Bank, NoProblemComesTwice) {
  std::map<std::string, std::set<std::string>> keys, canons;
  std::set<std::string> statements;
  std::map<std::string, int> redrawn;
  for (const BankEntry& e : GenerateBank(1, &redrawn)) {
    const Problem& p = e.problem;
    EXPECT_TRUE(keys[e.Code()].insert(p.key).second) << e.Code() << " repeats " << p.key;
    EXPECT_TRUE(statements.insert(p.statement.Plain() + (p.figure ? p.figure->description : "")).second)
        << e.Code() << " #" << e.number << " repeats " << p.statement.Plain();
    EXPECT_TRUE(p.canon.empty() || canons[e.topic->code].insert(p.canon).second) << e.Code() << " repeats " << p.canon;
  }
  EXPECT_GT(redrawn["canonical form"], 0);  // the check is no formality: some draws were reordered or scaled repeats
}

TEST(Wording, CountsAgreeWithTheirNumber) {
  EXPECT_EQ(Count(1, "blue ball"), "1 blue ball");
  EXPECT_EQ(Count(3, "blue ball"), "3 blue balls");
  EXPECT_EQ(Count(2, "flash"), "2 flashes");
  EXPECT_EQ(Count(0, "child", "children"), "0 children");
  EXPECT_EQ(Count(-1, "degree"), "\u22121 degrees");
  EXPECT_EQ(Agree(1, "is", "are") + Agree(4, "is", "are"), "isare");
  for (const char* wrong : {"A bag holds 8 red and 1 blue balls.", "and 1 of them are red.", "Of these, 1 are favourable.",
                            "after 1 seconds", "1 of the remaining 7 balls are red"}) {
    EXPECT_NE(CountWordingFault(wrong), "") << wrong;
  }
  for (const char* right : {"A bag holds 8 red balls and 1 blue ball.", "and 1 of them is red; 2 of them are blue.",
                            "Of these, 1 is favourable.", "x = 1 or x = 5", "1 pair of shoes", "1/2 of the 6 balls are red"}) {
    EXPECT_EQ(CountWordingFault(right), "") << right;
  }
}

TEST(Wording, AltTextsGroupExplicitly) {
  EXPECT_EQ(Formula("y = ").Frac("3", "4").T(Var("x")).Plain(), "y = (3/4)x");
  EXPECT_EQ(Formula().Frac("3", "4" + Var("x")).Plain(), "3/(4x)");
  EXPECT_EQ(Formula().Frac("3", "10").T(" " + kDivide + " ").Frac("2", "5").Plain(), "(3/10) / (2/5)");
  EXPECT_EQ(Formula().Frac("1", "2").T(" + ").Frac(Num(-5), "6").Plain(), "1/2 + (-5)/6");
  EXPECT_EQ(Formula("2").Frac("1", "3").Plain(), "2 1/3");  // a mixed number
  EXPECT_EQ(PlainText("(\u221a<span overline=\"single\">85</span>)/6"), "(sqrt(85))/6");
  EXPECT_EQ(PlainText(kPi + Var("r") + "\u00b2 = 2" + kPi + Var("r")), "pi*r^2 = 2pi*r");
  EXPECT_EQ(NumberTokens("x = +/-4, a25 = 107, x^2, 1 6/11, (3/2)x, -7/5 ~ 1.4"),
            (std::vector<std::string>{"4", "-4", "107", "1 6/11", "3/2", "-7/5", "1.4"}));
}

TEST(Wording, CanonicalFormsIgnoreOrderAndFactors) {
  EXPECT_EQ(EquationCanon("", {1, 0, -9}, {0}), EquationCanon("", {-5, 0, 45}, {0}));
  EXPECT_EQ(EquationCanon("", {2, 4}, {0, 10}), EquationCanon("", {0, 5}, {1, 2}));  // 2x + 4 = 10, 5 = x + 2
  EXPECT_NE(EquationCanon("", {2, 4}, {0, 10}), EquationCanon("", {2, 4}, {0, 12}));
  EXPECT_EQ(SortedCanon("+", {"2/3", "1/3"}), SortedCanon("+", {"1/3", "2/3"}));
}

// A problem of the first level of B05 as a maker might wrongly write it: each
// change below breaks exactly the rule named.
Problem LineProblemForRules() {
  Problem p;
  p.statement.Para("Find the gradient and the y-intercept of the line through A(1, 4) and B(3, 10).");
  p.solution.Step(Formula("m = ").Frac("10 " + kMinus + " 4", "3 " + kMinus + " 1").T(" = 3"));
  p.solution.Step(Formula("c = 1"));
  p.solution.Answer(Formula("gradient 3, y-intercept 1"));
  p.facts = {{"gradient", 3}, {"intercept", 1}};
  return p;
}

TEST(Rules, EachBrokenRuleIsNamed) {
  const auto broken = [](const Problem& p) {
    try {
      CheckRules("B05", 1, p);
    } catch (const RuleBroken& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(broken(LineProblemForRules()), "");
  std::vector<std::pair<std::string, Problem>> cases(7, {"", LineProblemForRules()});
  cases[0].first = "level 1: a whole gradient";
  cases[0].second.facts["gradient"] = Rational(3, 2);
  cases[1].first = "twice in a row";
  cases[1].second.solution = Sheet().Step(Formula("c = 1")).Step(Formula("c = 1")).Answer(Formula("c = 1"));
  cases[2].first = "reaches every number";  // the answer 1 6/11 where the working stops at 17/11
  cases[2].second.solution = Sheet().Step(Formula("m = 17/11")).Answer(Formula("m = 1 6/11"));
  cases[2].second.form.kind = AnswerForm::Kind::kMixedNumber;
  cases[2].second.statement.Para("Give the answer as a mixed number.");
  cases[3].first = "the question asks for the form";
  cases[3].second.form = {AnswerForm::Kind::kRounded, 2};
  cases[4].first = "exact value marked approximate";
  cases[4].second.solution = Sheet().Step(Formula("mean = ").Frac("145", "25").T(" \u2248 5.8")).Answer(Formula("mean 5.8"));
  cases[5].first = "form asked, fractions in lowest terms";
  cases[5].second.solution = Sheet().Step(Formula("m = 6/4")).Answer(Formula("m = ").Frac("6", "4"));
  cases[6].first = "no factor 1 written out";
  cases[6].second.solution.Step(Formula("y = " + kMinus + "1" + kCdot + "0 = 0"));
  for (const auto& [rule, p] : cases) EXPECT_NE(broken(p).find(rule), std::string::npos) << rule << ": " << broken(p);
  Problem noFacts = LineProblemForRules();
  noFacts.facts.clear();
  EXPECT_NE(broken(noFacts).find("does not record its fact \"gradient\""), std::string::npos);
}

TEST(Render, AFigureWhoseEdgeCutsALabelIsRefused) {
  Figure f{120, 60, [](Painter& p) { p.Label({115, 30}, "h = 12 cm", 0.0, 0.5); }, "test"};
  EXPECT_THROW(Renderer().RenderFigure(f), LabelCut);
  f.draw = [](Painter& p) { p.Label({110, 30}, "h = 12 cm", 1.0, 0.5); };
  EXPECT_NO_THROW(Renderer().RenderFigure(f));
}

TEST(Rational, StaysExactOrRaises) {
  EXPECT_EQ(Rational(6, -8).Den(), 4);
  EXPECT_EQ(Rational(1, 3) + Rational(1, 6), Rational(1, 2));
  EXPECT_EQ(Rational(2, 3) / Rational(-4, 9), Rational(-3, 2));
  EXPECT_EQ(Rational(-1, 8).Round(2), Rational(-13, 100));  // halves away from zero
  EXPECT_EQ(Rational(99, 8).DecimalText(), "12.375");
  EXPECT_THROW(Rational(1) / Rational(0), std::domain_error);
  const Rational big(INT64_MAX / 2 + 1);
  EXPECT_THROW(big * Rational(2), std::overflow_error);
  EXPECT_THROW(big + big, std::overflow_error);
}

// A walk over the records of a placeable metafile: the first fault found
// (empty when none) and what it draws.
struct MetafileWalk {
  std::string fault;
  int textRuns = 0, lines = 0, bitmaps = 0;
  std::set<std::string> faces;
  std::string symbolText;  // the bytes of text runs in fonts of the symbol character set
};
MetafileWalk Walk(std::string_view m) {
  MetafileWalk w;
  const auto fault = [&w](const std::string& what) { w.fault = what; return w; };
  if (m.size() < 40 || ReadLE32(m, 0) != kPlaceableKey) return fault("no placeable header");
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) checksum ^= ReadLE16(m, i);
  if (checksum != ReadLE16(m, 20)) return fault("placeable checksum");
  if (kPlaceableHeaderSize + 2 * size_t{ReadLE32(m, 28)} != m.size()) return fault("size in the header");
  std::vector<int> objects(ReadLE16(m, 32), -1);  // free, a font's character set, or 256 for others
  int charset = -1;                               // of the selected font
  for (size_t at = 40; at + 6 <= m.size();) {
    const size_t size = 2 * size_t{ReadLE32(m, at)}, function = ReadLE16(m, at + 4);
    const std::string where = " at " + std::to_string(at);
    if (size < 6 || at + size > m.size() || size / 2 > ReadLE32(m, 34)) return fault("record size" + where);
    const std::string_view p = m.substr(at + 6, size - 6);
    if (function == 0) return at + size == m.size() ? w : fault("the end record is not last");
    if (function == 0x02FA || function == 0x02FB) {  // pen, font
      const auto slot = std::find(objects.begin(), objects.end(), -1);
      if (slot == objects.end() || p.size() < (function == 0x02FB ? 18u : 10u)) return fault("object" + where);
      *slot = function == 0x02FB ? ReadLE8(p, 13) : 256;
      if (function == 0x02FB) w.faces.insert(std::string(p.substr(18, p.find('\0', 18) - 18)));
    } else if (function == 0x012D || function == 0x01F0) {  // select, delete
      const size_t i = p.size() < 2 ? objects.size() : ReadLE16(p, 0);
      if (i >= objects.size() || objects[i] < 0) return fault("object used before it was made" + where);
      if (function == 0x01F0) objects[i] = -1;
      if (function == 0x012D && objects[i] < 256) charset = objects[i];
    } else if (function == 0x0A32) {  // a text run with the advance of each character
      const size_t n = p.size() < 8 ? 0 : ReadLE16(p, 4);
      const bool whole = n > 0 && ReadLE16(p, 6) == 0 && 8 + n + n % 2 + 2 * n == p.size();  // no clip box
      if (charset < 0 || !whole) return fault("text" + where);
      ++w.textRuns;
      if (charset == 2) w.symbolText += p.substr(8, n);
    } else {
      w.lines += function == 0x0213 || function == 0x0325;
      w.bitmaps += function == 0x0F43;
    }
    at += size;
  }
  return fault("no end record");
}

// A picture file decoded as the engine decodes it: its size and, for a raster
// format, its pixels; width -1 when it does not decode.
struct Decoded {
  int width = -1, height = -1;
  Bitmap24 raster;    // empty for a metafile
  MetafileWalk walk;  // for a metafile
  uint32_t At(int x, int y) const {  // 0xRRGGBB
    const uint8_t* p = raster.RowFromTop(y) + 3 * x;
    return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  }
};
Decoded Decode(const std::string& name, const std::string& bytes) {
  const std::string ext = name.substr(name.rfind('.'));
  if (ext == ".wmf" || ext == ".wmz") {
    MemoryStream source(bytes), plain;
    if (ext == ".wmz") GunzipToStream(source, plain);
    const std::string& wmf = ext == ".wmz" ? plain.Bytes() : bytes;
    const auto size = ReadPlaceableMetafile(wmf);
    return size ? Decoded{size->width, size->height, {}, Walk(wmf)} : Decoded{};
  }
  Bitmap24 b = ext == ".png" ? DecodePNG(bytes) : ext == ".jpg" ? DecodeJPEG(bytes) : DecodeBMP(bytes);
  return Decoded{b.width, b.height, std::move(b), {}};
}

TEST(Pictures, EveryFormatDecodesToWhatWasDrawn) {
  Raster r{41, 30, {}};  // 123 bytes a row, so BMP pads its rows; more colours than a palette holds
  for (int i = 0; i < 41 * 30; ++i) r.pixels.push_back(uint32_t(i % 41 * 6) << 16 | uint32_t(i / 41 * 8) << 8 | 0x40);
  // The most a channel may change; metafiles are read for their size only.
  using enum PictureFormat;
  const std::map<PictureFormat, int> most = {{kBmp, 0}, {kPng, 48}, {kJpeg, 40}, {kWmf, 0}, {kWmz, 0}};
  for (const auto& [format, change] : most) {
    const Bytes bytes = Encode(r, format);
    const Decoded d = Decode(Extension(format), std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(std::make_pair(d.width, d.height), std::make_pair(41, 30)) << Extension(format);
    for (int i = 0; !d.raster.pixels.empty() && i < 41 * 30; ++i) {
      for (int shift : {0, 8, 16}) {
        ASSERT_LE(std::abs(int(d.At(i % 41, i / 41) >> shift & 255) - int(r.pixels[i] >> shift & 255)), change)
            << Extension(format) << " pixel " << i;
      }
    }
  }
}

TEST(Render, ASheetRecordsAsTheRasterIsDrawn) {
  Sheet s;
  s.Para("Area of a circle, " + Var("r") + " = 3 (" + kPi + "):")
      .Line(Formula(Var("A") + " = " + kPi + Var("r") + Sup("2") + " " + kMinus + " ").Frac("9", "4").Root("2"))
      .Answer(Formula("2" + kTimes + "3 " + kDivide + " 4"));
  Renderer renderer;
  const Raster raster = renderer.RenderSheet(s, 300);
  const VectorPicture vector = RecordSheet(renderer, s, 300);
  const auto size = ReadPlaceableMetafile(std::string(vector.wmf.begin(), vector.wmf.end()));
  ASSERT_TRUE(size);
  EXPECT_EQ(std::make_tuple(size->width, size->height, vector.width, vector.height),
            std::make_tuple(raster.width, raster.height, raster.width, raster.height));
  const MetafileWalk walk = Walk(std::string_view(reinterpret_cast<const char*>(vector.wmf.data()), vector.wmf.size()));
  EXPECT_EQ(walk.fault, "");
  EXPECT_EQ(walk.symbolText, "pp-\xb4\xb8");  // pi twice, minus, times, divide; bold ones included
  EXPECT_EQ(walk.lines, 2);                   // the fraction bar and the radical sign
  EXPECT_EQ(walk.faces, (std::set<std::string>{"DejaVu Sans", "Symbol"}));
  EXPECT_THROW(RecordSheet(renderer, Sheet().Para("\u25b3ABC"), 300), std::runtime_error);
}

// Every character the recorder writes in a font comes back from the bytes as
// the metafile renderer reads them (a space stands for the narrower spaces).
TEST(Render, MetafileCharacterCodesReadBack) {
  using metafile::TextCharset;
  int symbols = 0;
  for (char32_t c = 0x20; c < 0x3000; ++c) {
    if (const auto code = SymbolCode(c)) {
      ++symbols;
      EXPECT_EQ(metafile::DecodeChar(*code, TextCharset::kSymbol), c) << std::hex << uint32_t(c);
    } else if (const auto ansi = AnsiCode(c)) {
      const char32_t back = metafile::DecodeChar(*ansi, TextCharset::kWindows1252);
      EXPECT_TRUE(back == c || ((back == ' ' || back == 0xA0) && c > 0x2000)) << std::hex << uint32_t(c);
    }
  }
  EXPECT_GE(symbols, 60);  // the Greek letters and the operators
}

TEST(Render, UnescapedMarkupIsRefused) {
  Sheet s;
  s.Para("3 < 4");
  EXPECT_THROW(Renderer().RenderSheet(s, 300), std::runtime_error);
}

// ---------------------------------------------------------------- what the build made

const fs::path kTree = QIL_DEMO_DISC_DIR;

// The output of fc-query's format for a font file.
std::string FontQuery(const fs::path& font, const std::string& format) {
  FILE* query = popen(("fc-query --format '" + format + "' '" + font.string() + "'").c_str(), "r");
  if (query == nullptr) return "";
  char seen[200];
  const size_t n = std::fread(seen, 1, sizeof seen, query);
  EXPECT_EQ(pclose(query), 0) << "fc-query (package fontconfig) failed";
  return std::string(seen, n);
}

TEST(DiscTree, EveryPagePictureExistsAndDecodesAtItsSize) {
  static const std::regex img(R"re(<img src="(M_image[^"]+)" width="(\d+)" height="(\d+)" alt="[ -!#-~]+">)re");
  std::set<std::string> formats, shipped = {"Symbol"};  // the families of the fonts the disc ships
  std::istringstream fonts(ReadBytes(kTree / "mt4fonts/mt4fonts.txt"));
  for (std::string file; std::getline(fonts, file);) {
    shipped.insert(FontQuery(kTree / "mt4fonts" / file, "%{family[0]}"));
  }
  std::map<std::string, int> vector;  // page and extension -> vector metafiles
  for (const auto& code : fs::directory_iterator(kTree / "problems")) {
    for (const auto& folder : fs::directory_iterator(code)) {
      const std::string where = folder.path().lexically_relative(kTree).string() + "/";
      std::set<std::string> shown;
      for (const char* page : {"P.htm", "S.htm"}) {
        const std::string html = ReadBytes(folder.path() / page);
        size_t tags = 0;
        for (size_t at = html.find("<img"); at != std::string::npos; at = html.find("<img", at + 1)) ++tags;
        EXPECT_GT(tags, 0u) << where << page;
        for (auto match = std::sregex_iterator(html.begin(), html.end(), img); match != std::sregex_iterator();
             ++match, --tags) {
          const std::string name = (*match)[1];
          shown.insert(name);
          const Decoded d = Decode(name, ReadBytes(folder.path() / name));
          EXPECT_EQ(std::to_string(d.width) + "x" + std::to_string(d.height), (*match)[2].str() + "x" + (*match)[3].str())
              << where << name;
          bool inked = d.walk.textRuns > 0 || d.walk.bitmaps > 0;
          for (int i = 0; !inked && !d.raster.pixels.empty() && i < d.width * d.height; ++i) {
            inked = d.At(i % d.width, i / d.width) != 0xFFFFFF;
          }
          EXPECT_TRUE(inked) << where << name << " is blank";
          if (!d.raster.pixels.empty()) continue;
          EXPECT_EQ(d.walk.fault, "") << where << name;
          for (const std::string& face : d.walk.faces) EXPECT_TRUE(shipped.contains(face)) << where << name << face;
          for (uint8_t c : d.walk.symbolText) {
            EXPECT_LT(metafile::DecodeChar(c, metafile::TextCharset::kSymbol), 0xF000u) << where << name << int(c);
          }
          if (d.walk.bitmaps == 0) ++vector[std::string(page) + " " + name.substr(name.rfind('.'))];
        }
        EXPECT_EQ(tags, 0u) << where << page << " has a malformed picture tag";
      }
      for (const auto& file : fs::directory_iterator(folder)) {
        const std::string name = file.path().filename().string();
        if (name == "P.htm" || name == "S.htm") continue;
        EXPECT_TRUE(shown.contains(name)) << where << name << " is shown on no page";
        formats.insert(name.substr(name.rfind('.')));
      }
    }
  }
  EXPECT_EQ(formats, (std::set<std::string>{".bmp", ".jpg", ".png", ".wmf", ".wmz"}));
  EXPECT_GE(vector["P.htm .wmf"] + vector["P.htm .wmz"] + vector["S.htm .wmf"] + vector["S.htm .wmz"], 100);
  for (const char* kind : {"P.htm .wmf", "P.htm .wmz", "S.htm .wmf", "S.htm .wmz"}) EXPECT_GT(vector[kind], 0) << kind;
}

TEST(DiscTree, ArtworkFitsItsPages) {
  auto size = [](const std::string& path) {
    const Bitmap24 b = DecodeJPEG(ReadBytes(kTree / path));
    return "width=\"" + std::to_string(b.width) + "\" height=\"" + std::to_string(b.height) + "\"";
  };
  for (const std::string set : {"images/szamok_problem/n", "images/szamok/n"}) {  // digits line up
    for (char digit = '1'; digit <= '9'; ++digit) EXPECT_EQ(size(set + digit + ".jpg"), size(set + "0.jpg")) << set;
  }
  EXPECT_NE(ReadBytes(kTree / "welcome.html").find("src=\"about.jpg\" " + size("about.jpg")), std::string::npos);
}

TEST(DiscTree, TheSameSeedWritesTheSameBytes) {
  test::TempDir again;
  WriteDisc(again.Path(), QIL_DEMO_DISC_SEED);
  size_t files = 0, bytes = 0;
  for (const auto& file : fs::recursive_directory_iterator(again.Path())) {
    if (!file.is_regular_file()) continue;
    ++files;
    bytes += file.file_size();
    const fs::path relative = file.path().lexically_relative(again.Path());
    ASSERT_EQ(ReadBytes(file.path()), ReadBytes(kTree / relative)) << relative;
  }
  EXPECT_GT(files, 3000u);
  EXPECT_LT(bytes, size_t{40} << 20) << "the generated tree outgrew its 40 MB";
}

TEST(DemoDisc, DatabaseHoldsTheWholeBank) {
  if (test::QilcdPath().empty()) GTEST_SKIP() << "QILCD is not set";
  int problems = 0;
  for (const Topic& t : Topics()) problems += t.counts[0] + t.counts[1] + t.counts[2] + t.counts[3];
  const std::string report = test::RunQilcd({"db", QIL_DEMO_DISC}).out;
  EXPECT_NE(report.find("\n" + std::to_string(problems) + " bundles checked, 0 damaged"), std::string::npos) << report;
  EXPECT_EQ(test::RunQilcd({"ls", QIL_DEMO_DISC}).out.find("\tproblems/"), std::string::npos) << "the bank went into entries";
}

// The welcome line names the family alone (no @font-face), so it shows in it
// only when the disc's fonts reach the viewer: the system must see the
// font as that family and no other.
TEST(DemoDisc, ShipsAFontFamilyOfItsOwn) {
  EXPECT_EQ(FontQuery(kTree / "mt4fonts/OrvellaHand.ttf", "%{family}|%{style}"), "Orvella Hand|Regular");
  const std::string css = ReadBytes(kTree / "disc.css");
  EXPECT_TRUE(std::regex_search(css, std::regex(R"(\.motto \{[^}]*font-family: "Orvella Hand")")));
  EXPECT_FALSE(std::regex_search(css, std::regex(R"(@font-face \{[^}]*Orvella)")));
}

}  // namespace
}  // namespace qil::disc
