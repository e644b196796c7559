// The demo disc's generator and what it built. Every problem's answer passes
// its own check and no changed answer does; a level never repeats a problem;
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
#include "MathText.h"
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

TEST(Bank, NoLevelRepeatsAProblem) {
  std::map<std::string, std::set<std::string>> keys;
  for (const BankEntry& e : GenerateBank(1)) {
    EXPECT_TRUE(keys[e.Code()].insert(e.problem.key).second) << e.Code() << " repeats " << e.problem.key;
  }
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
