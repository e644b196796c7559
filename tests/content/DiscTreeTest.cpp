// The tree the build generated (${build}/disc, before packing) as the packer and
// the engine see it: the database lists and title pages, every problem's pages and
// pictures, the artwork, and that generating again with the same seed writes the
// same bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "DiscWriter.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "picture/Gunzip.h"
#include "picture/Metafile.h"
#include "picture/PictureToRTF.h"
#include "picture/RasterDecoders.h"

namespace qil::disc {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

fs::path TempDir(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("qil_content_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  return dir;
}

struct ImgTag {
  std::string src, alt;
  int width = 0, height = 0;
};

std::vector<ImgTag> ImgTags(const std::string& html) {
  static const std::regex tag("<img ([^>]*)>");
  static const std::regex attr("(\\w+)=\"([^\"]*)\"");
  std::vector<ImgTag> out;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), tag); it != std::sregex_iterator(); ++it) {
    std::string body = (*it)[1];
    ImgTag img;
    for (auto a = std::sregex_iterator(body.begin(), body.end(), attr); a != std::sregex_iterator(); ++a) {
      std::string name = (*a)[1], value = (*a)[2];
      if (name == "src") img.src = value;
      if (name == "alt") img.alt = value;
      if (name == "width") img.width = std::stoi(value);
      if (name == "height") img.height = std::stoi(value);
    }
    out.push_back(img);
  }
  return out;
}

// The size of a picture file as the engine's decoders and metafile reader see it.
bool PictureSize(const std::string& name, const std::string& data, int& width, int& height) {
  std::string ext = name.substr(name.rfind('.'));
  if (ext == ".wmf" || ext == ".wmz") {
    std::string wmf = data;
    if (ext == ".wmz") {
      MemoryStream source(data), target;
      GunzipToStream(source, target);
      wmf = target.Bytes();
    }
    MetafileSize size;
    if (!ReadPlaceableMetafile(wmf, size)) return false;
    width = size.width;
    height = size.height;
    return true;
  }
  Bitmap24 b = ext == ".png" ? DecodePNG(data) : ext == ".jpg" ? DecodeJPEG(data) : DecodeBMP(data);
  width = b.width;
  height = b.height;
  return true;
}

int BankSize() {
  int total = 0;
  for (const Topic& t : Topics()) total += t.counts[0] + t.counts[1] + t.counts[2] + t.counts[3];
  return total;
}

class DiscTree : public ::testing::Test {
 protected:
  static fs::path Dir() { return QIL_DEMO_DISC_DIR; }
};

TEST_F(DiscTree, DatabaseListsDescribeTheBank) {
  std::vector<std::string> endpoints = Lines(ReadAll(Dir() / "db/endpoints.txt"));
  ASSERT_GE(endpoints.size(), 12u);
  std::set<char> groups;
  int total = 0, largest = 0, smallest = 1 << 30;
  for (const std::string& line : endpoints) {
    ASSERT_GT(line.size(), 4u);
    ASSERT_EQ(line[3], '=') << line;
    const std::string ccc = line.substr(0, 3);
    groups.insert(ccc[0]);
    int count = 0;
    for (int level = 1; level <= 4; ++level) {
      fs::path folder = Dir() / "problems" / (ccc + std::to_string(level));
      ASSERT_TRUE(fs::is_directory(folder)) << folder;
      int here = static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
      EXPECT_GT(here, 0) << folder;
      count += here;
    }
    total += count;
    largest = std::max(largest, count);
    smallest = std::min(smallest, count);
  }
  EXPECT_GE(groups.size(), 3u);
  EXPECT_GE(total, 1200);
  EXPECT_EQ(total, BankSize());
  EXPECT_GT(largest, 60);
  EXPECT_LT(smallest, 25);
  // No problem folder belongs to an endpoint that is not listed.
  for (const auto& entry : fs::directory_iterator(Dir() / "problems")) {
    std::string code = entry.path().filename().string();
    ASSERT_EQ(code.size(), 4u);
    EXPECT_TRUE(std::any_of(endpoints.begin(), endpoints.end(),
                            [&](const std::string& l) { return l.compare(0, 3, code, 0, 3) == 0; }))
        << code;
  }
}

TEST_F(DiscTree, EveryEndpointHasATitlePage) {
  StringList menu;
  menu.SetText(ReadAll(Dir() / "db/menuid.txt"));
  for (const std::string& line : Lines(ReadAll(Dir() / "db/endpoints.txt"))) {
    const std::string page = menu.Value("s" + line.substr(0, 3));
    ASSERT_FALSE(page.empty()) << line;
    const std::string html = ReadAll(Dir() / page);
    ASSERT_FALSE(html.empty()) << page;
    EXPECT_NE(html.find(line.substr(4)), std::string::npos) << page << " does not name " << line;
    EXPECT_NE(html.find("mathlist.stmp?main=" + line.substr(0, 1) + "&amp;sub=" + line.substr(1, 2)), std::string::npos);
    EXPECT_EQ(html.find("M_image"), std::string::npos);
  }
}

TEST_F(DiscTree, PagesReferToPicturesThatExistWithTheirSizes) {
  std::map<std::string, int> formats;
  int problems = 0;
  for (const auto& code : fs::directory_iterator(Dir() / "problems")) {
    for (const auto& folder : fs::directory_iterator(code.path())) {
      ++problems;
      const std::string where = folder.path().lexically_relative(Dir()).string();
      std::set<std::string> referenced;
      for (const char* page : {"P.htm", "S.htm"}) {
        const std::string html = ReadAll(folder.path() / page);
        ASSERT_FALSE(html.empty()) << where << "/" << page;
        std::vector<ImgTag> imgs = ImgTags(html);
        ASSERT_FALSE(imgs.empty()) << where << "/" << page;
        for (const ImgTag& img : imgs) {
          ASSERT_EQ(img.src.rfind("M_image", 0), 0u) << where << ": " << img.src;
          referenced.insert(img.src);
          int w = 0, h = 0;
          ASSERT_TRUE(PictureSize(img.src, ReadAll(folder.path() / img.src), w, h)) << where << "/" << img.src;
          EXPECT_EQ(w, img.width) << where << "/" << img.src;
          EXPECT_EQ(h, img.height) << where << "/" << img.src;
          EXPECT_FALSE(img.alt.empty());
          for (char c : img.alt) ASSERT_TRUE(c >= 0x20 && c < 0x7f) << where << ": alt text is not ASCII";
        }
        // "M_image" appears only as the start of a picture reference.
        for (size_t at = html.find("M_image"); at != std::string::npos; at = html.find("M_image", at + 1)) {
          ASSERT_GE(at, 5u);
          EXPECT_EQ(html.substr(at - 5, 5), "src=\"") << where << "/" << page << " at " << at;
        }
      }
      for (const auto& file : fs::directory_iterator(folder.path())) {
        const std::string name = file.path().filename().string();
        if (name == "P.htm" || name == "S.htm") continue;
        EXPECT_TRUE(referenced.count(name)) << where << "/" << name << " is not shown on any page";
        ++formats[name.substr(name.rfind('.'))];
      }
    }
  }
  EXPECT_EQ(problems, BankSize());
  for (const char* ext : {".png", ".jpg", ".bmp", ".wmf", ".wmz"}) EXPECT_GT(formats[ext], 0) << ext;
  int all = 0;
  for (const auto& [ext, n] : formats) all += n;
  EXPECT_GT(formats[".png"] * 10, all * 8) << "pictures are mostly PNG";
  EXPECT_LT(formats[".wmf"] + formats[".wmz"], all / 20) << "metafiles stay a small share";
}

// The clipboard export converts every format the bank uses into an RTF picture group.
TEST_F(DiscTree, OnePictureOfEachFormatConvertsForTheClipboard) {
  std::set<std::string> done;
  for (const auto& file : fs::recursive_directory_iterator(Dir() / "problems")) {
    const std::string name = file.path().filename().string();
    if (name.find("M_image") != 0) continue;
    const std::string ext = name.substr(name.rfind('.'));
    if (!done.insert(ext).second) continue;
    MemoryStream picture(ReadAll(file.path()));
    StringList lines;
    PictureToRTF(picture, lines, name);
    ASSERT_GE(lines.Count(), 3) << file.path();
    EXPECT_NE(lines[0].find("\\pict\\wmetafile8"), std::string::npos) << file.path();
  }
  EXPECT_EQ(done.size(), 5u);
}

TEST_F(DiscTree, ArtworkHasItsSizes) {
  auto size = [](const fs::path& p) {
    Bitmap24 b = DecodeJPEG(ReadAll(p));
    return std::make_pair(b.width, b.height);
  };
  for (char d = '0'; d <= '9'; ++d) {
    EXPECT_EQ(size(Dir() / "images/szamok_problem" / (std::string("n") + d + ".jpg")), std::make_pair(8, 22));
    EXPECT_EQ(size(Dir() / "images/szamok" / (std::string("n") + d + ".jpg")), std::make_pair(14, 21));
  }
  EXPECT_EQ(size(Dir() / "images/szamok_problem/nv.jpg").second, 22);
  EXPECT_EQ(size(Dir() / "about.jpg"), std::make_pair(498, 314));
}

TEST_F(DiscTree, TreeStaysSmall) {
  uintmax_t bytes = 0;
  for (const auto& file : fs::recursive_directory_iterator(Dir())) bytes += file.is_regular_file() ? file.file_size() : 0;
  EXPECT_LT(bytes, uintmax_t{40} << 20);
}

TEST_F(DiscTree, SameSeedWritesTheSameBytes) {
  fs::path again = TempDir("again");
  DiscReport report = WriteDisc(again, QIL_DEMO_DISC_SEED);
  EXPECT_EQ(report.problems, BankSize());
  size_t files = 0;
  for (const auto& file : fs::recursive_directory_iterator(again)) {
    if (!file.is_regular_file()) continue;
    ++files;
    fs::path relative = file.path().lexically_relative(again);
    ASSERT_TRUE(fs::exists(Dir() / relative)) << relative;
    ASSERT_EQ(ReadAll(file.path()), ReadAll(Dir() / relative)) << relative;
  }
  EXPECT_GT(files, static_cast<size_t>(3 * BankSize()));
  fs::remove_all(again);
}

}  // namespace
}  // namespace qil::disc
