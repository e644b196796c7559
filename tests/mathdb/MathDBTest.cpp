// Loading the math database from an archive, its lookups, the endpoint
// mapping, the level folding of the shipped edition and the page operations.
#include <gtest/gtest.h>

#include "archive/ArchiveFormat.h"
#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "mathdb/BankFixture.h"
#include "mathdb/MathDatabase.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qil {
namespace {

using test::BankSource;

// Every record's code, separated by blanks ("-" for a cleared record).
std::string Codes(const MathDatabase& db) {
  std::string codes;
  for (int32_t i = 0; i < db.RecordCount(); ++i) {
    const std::string code = db.GetCode(std::to_string(i));
    codes += (i > 0 ? " " : "") + (code.empty() ? std::string("-") : code);
  }
  return codes;
}

// Endpoints A01 (positions 0-3), B02 (4-5), C12 (6-8):
//   0-2 A011, 3 A012, 4-5 B021, 6 C123, 7-8 C124.
class MathDBTest : public ::testing::Test {
 protected:
  MathDBTest() : source_(dir_.Path() / "src") {
    source_.SetEndpoints({"A01=Fractions", "B02=Equations", "C12=Triangles"});
    source_.SetDbFile("menuid.txt", "sC12=topics/C12.htm\r\nsA01=topics/A01.htm\r\n");
    for (const char* number : {"1", "2", "3"}) source_.AddSimpleProblem("A011", number);
    source_.AddSimpleProblem("A012", "1");
    source_.AddProblem("B021", "1",
                       {{"P.htm", "<img src=\"M_image1.png\"> and <img src=\"M_image1.png\">"},
                        {"S.htm", "<img src=\"M_image2.gif\">"},
                        {"M_image1.png", "PNGDATA"},
                        {"M_image2.gif", "GIFDATA"},
                        {"M_image3.jpg", "unused"}});
    source_.AddProblem("B021", "2", {{"P.htm", "only a problem, M_image9.png"}, {"M_image9.png", "9"}});
    source_.AddSimpleProblem("C123", "1");
    source_.AddSimpleProblem("C124", "1");
    source_.AddSimpleProblem("C124", "2");
  }

  // Builds the archive from the source (or from a patched region) and loads db from it.
  void Load(MathDatabase& db) { Load(db, source_.BuildRegion()); }
  void Load(MathDatabase& db, const std::string& region) {
    source_.WriteArchive(archive_path_, region);
    test::OpenArchive(archive_, archive_path_);
    db.Load(archive_);
  }
  std::string LoadError(const std::string& region) {
    MathDatabase db;
    try {
      Load(db, region);
    } catch (const DatabaseError& error) {
      return error.what();
    }
    return "(loaded)";
  }

  test::TempDir dir_;
  BankSource source_;
  std::filesystem::path archive_path_ = dir_.Path() / "math.dat";
  ArchiveReader archive_;
};

TEST_F(MathDBTest, LoadReadsHeaderListsAndIndex) {
  MathDatabase db;
  Load(db);
  EXPECT_EQ(db.Header().Version, 3);
  ASSERT_EQ(db.RecordCount(), 9);
  EXPECT_EQ(db.Counts().Text(), "A01=4\r\nB02=2\r\nC12=3\r\n");
  EXPECT_EQ(db.Endpoints().Count(), 3);
  EXPECT_EQ(db.MenuIds()[0], "sA01=topics/A01.htm");  // sorted
  EXPECT_EQ(db.GetMenuValue("SC12"), "topics/C12.htm");
  EXPECT_EQ(db.GetMenuValue("sB02"), "");
  EXPECT_EQ(db.GetEndpointName("b02"), "Equations");
  EXPECT_EQ(db.GetEndpointName("Z99"), "");
  EXPECT_EQ(Codes(db), "A011 A011 A011 A012 B021 B021 C123 C124 C124");
}

TEST_F(MathDBTest, WrongVersionIsRejected) {
  for (uint32_t version : {2u, 4u}) {
    std::string region = source_.BuildRegion();
    test::SetRegionWord(region, 4, version);
    EXPECT_EQ(LoadError(region), "Wrong Math DB version.");
  }
}

TEST_F(MathDBTest, IndexOutsideTheDataRegionIsRejectedBeforeReading) {
  // Far too many records, a count whose size in bytes wraps 32 bits, a negative count.
  for (uint32_t count : {0x7FFFFFFFu, 0x15555556u, 0xFFFFFFFFu, 10u}) {
    std::string region = source_.BuildRegion();
    test::SetRegionWord(region, 12, count);
    if (count == 10u) test::SetRegionWord(region, 8, static_cast<uint32_t>(region.size()) - 100);
    EXPECT_NE(LoadError(region).find("index"), std::string::npos) << count;
  }
}

TEST_F(MathDBTest, CountsOutsideTheDataRegionAreRejected) {
  std::string region = source_.BuildRegion();
  test::SetRegionWord(region, 16, static_cast<uint32_t>(region.size()));
  EXPECT_NE(LoadError(region).find("counts list"), std::string::npos);
  region = source_.BuildRegion();
  test::SetRegionWord(region, 20, 0x80000000u);
  EXPECT_NE(LoadError(region).find("counts list"), std::string::npos);
}

TEST_F(MathDBTest, BlocksReadPastTheRegionInWholeBlocksAreRejectedUnread) {
  // The archive reads whole 8-byte blocks. A block of 12 bytes that ends with
  // the region is read as 16, past the end of the file: refused before the
  // read, which would fail and ask the user to put the disc back in.
  struct CountingPlatform : HeadlessPlatform {
    CountingPlatform() { SetCurrentPlatform(this); }
    ~CountingPlatform() override { SetCurrentPlatform(nullptr); }
  } platform;
  std::string region = source_.BuildRegion();
  const auto end = static_cast<uint32_t>(archive::RoundUp8(region.size()));
  const uint32_t record = test::RegionWord(region, 8) + 5 * 12;
  test::SetRegionWord(region, record + 4, end - 12);
  test::SetRegionWord(region, record + 8, 12);
  MathDatabase db;
  Load(db, region);
  EXPECT_EQ(db.GetBundle(5), nullptr);
  EXPECT_THROW(db.ReadBundle(5), DatabaseError);

  region = source_.BuildRegion();
  test::SetRegionWord(region, 8, end - 12);  // one index record, likewise
  test::SetRegionWord(region, 12, 1);
  EXPECT_NE(LoadError(region).find("index"), std::string::npos);
  EXPECT_EQ(platform.RetryPrompts(), 0);
}

TEST_F(MathDBTest, ArchiveWithoutDataRegionIsRejected) {
  EXPECT_NE(LoadError(std::string()).find("too small"), std::string::npos);
}

TEST_F(MathDBTest, NonNumericCountFailsOnlyWhenRead) {
  std::string region = source_.BuildRegion();
  const uint32_t counts = test::RegionWord(region, 16);
  ASSERT_EQ(region.substr(counts, 5), "A01=4");
  region[counts + 4] = 'x';
  MathDatabase db;
  Load(db, region);
  EXPECT_THROW(db.GetEndpointCount("A01"), ConvertError);
  EXPECT_EQ(db.GetEndpointCount("B021"), 2);
  EXPECT_EQ(db.GetEndpointCount("Z99"), 0);
}

TEST_F(MathDBTest, PrefixOperations) {
  MathDatabase db;
  Load(db);
  EXPECT_EQ(db.CountPrefix("A01"), 4);
  EXPECT_EQ(db.CountPrefix("A011"), 3);
  EXPECT_EQ(db.CountPrefix("a01"), 0);  // byte for byte
  EXPECT_EQ(db.CountPrefix("A0111"), 0);
  EXPECT_EQ(db.CountPrefix(""), 9);

  EXPECT_EQ(db.FindNthProblem("B02", 1).ToString(), "000004");
  EXPECT_EQ(db.FindNthProblem("B02", 2).ToString(), "000005");
  // Past the last match the scan runs to the end: the ID of RecordCount.
  EXPECT_EQ(db.FindNthProblem("B02", 3).ToString(), "000009");
  EXPECT_EQ(db.FindNthProblem("Z99", 1).ToString(), "999999");
  EXPECT_EQ(db.FindNthProblem("B02", 0).ToString(), "999999");

  EXPECT_EQ(db.GetOrdinalInPrefix("B02", "000004"), 1);
  EXPECT_EQ(db.GetOrdinalInPrefix("B02", "5"), 2);
  EXPECT_EQ(db.GetOrdinalInPrefix("C124", "123456"), 2);
  EXPECT_EQ(db.GetOrdinalInPrefix("A01", "-1"), 0);
  EXPECT_THROW(db.GetOrdinalInPrefix("A01", "abc"), ConvertError);

  EXPECT_EQ(db.GetEndpointCount("C124"), 3);
  EXPECT_EQ(db.GetLevel("000003"), "2");
  EXPECT_EQ(db.GetCode("9"), "");
  EXPECT_EQ(db.GetCode("-1"), "");
  EXPECT_EQ(db.GetCode("x1"), "");
  EXPECT_EQ(db.GetLevel("x1"), "");
}

TEST_F(MathDBTest, EmptyIndex) {
  std::string region = source_.BuildRegion();
  test::SetRegionWord(region, 12, 0);
  MathDatabase db;
  Load(db, region);
  EXPECT_EQ(db.RecordCount(), 0);
  EXPECT_EQ(db.CountPrefix("A01"), 0);
  EXPECT_EQ(db.FindNthProblem("A01", 1).ToString(), "999999");
  EXPECT_EQ(db.GetBundle(0), nullptr);
}

// An index longer than the pieces Load reads it in: every record lands whole
// at its own position, also across the pieces' borders and in the short last piece.
TEST_F(MathDBTest, LongIndexLoadsEveryRecordInPlace) {
  constexpr uint32_t kRecords = 8192 * 2 + 5;
  constexpr uint32_t kIndexAt = 32;
  std::string region(kIndexAt + 12 * kRecords, '\0');
  for (uint32_t i = 0; i < kRecords; ++i) {
    const size_t at = kIndexAt + 12 * size_t{i};
    region.replace(at, 4, i < 8192 ? "A011" : i < 16384 ? "B021" : "C124");
    test::SetRegionWord(region, at + 4, 8 * i);
    test::SetRegionWord(region, at + 8, i ^ 0x5A5A);
  }
  region.resize((region.size() + 7) / 8 * 8, '\0');  // blocks start at multiples of 8
  const uint32_t counts_at = static_cast<uint32_t>(region.size());
  const std::string counts = "A01=8192\r\nB02=8192\r\nC12=5\r\n";
  region += counts;
  region.resize((region.size() + 7) / 8 * 8, '\0');
  test::SetRegionWord(region, 4, 3);
  test::SetRegionWord(region, 8, kIndexAt);
  test::SetRegionWord(region, 12, kRecords);
  test::SetRegionWord(region, 16, counts_at);
  test::SetRegionWord(region, 20, static_cast<uint32_t>(counts.size()));
  MathDatabase db;
  Load(db, region);
  ASSERT_EQ(db.RecordCount(), static_cast<int32_t>(kRecords));
  uint32_t wrong = 0;
  for (uint32_t i = 0; i < kRecords; ++i) {
    const IndexRecord& record = db.Index()[i];
    const std::string code(record.Code, 4);
    if (code != (i < 8192 ? "A011" : i < 16384 ? "B021" : "C124") || record.BlockOffset != 8 * i ||
        record.BlockSize != (i ^ 0x5A5A)) {
      ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(db.CountPrefix("C12"), 5);
}

TEST_F(MathDBTest, MappingMovesCodesBetweenEndpoints) {
  source_.SetDbFile("endpoint-mapping.txt", "A011=B022\r\n");
  MathDatabase db;
  Load(db);
  EXPECT_EQ(db.Counts().Text(), "A01=1\r\nB02=5\r\nC12=3\r\n");
  EXPECT_EQ(Codes(db), "B022 B022 B022 A012 B021 B021 C123 C124 C124");
}

TEST_F(MathDBTest, MappingToAnUnlistedEndpointClearsTheTail) {
  source_.SetDbFile("endpoint-mapping.txt", "c124=Z991\r\nshort\r\n");  // keys ignore letter case
  MathDatabase db;
  Load(db);
  EXPECT_EQ(db.Counts().Text(), "A01=4\r\nB02=2\r\nC12=1\r\n");
  EXPECT_EQ(Codes(db), "A011 A011 A011 A012 B021 B021 C123 - -");
  EXPECT_EQ(db.Index()[8].BlockSize, 0u);
  EXPECT_EQ(db.GetBundle(8), nullptr);  // a cleared record has no bundle
}

TEST_F(MathDBTest, DuplicateEndpointsNeverWritePastTheIndex) {
  const std::string region = source_.BuildRegion();
  source_.SetEndpoints({"A01=Fractions", "B02=Equations", "C12=Triangles", "A01=Again", "B02=Again"});
  source_.SetDbFile("endpoint-mapping.txt", "X001=X002\r\n");
  MathDatabase db;
  Load(db, region);
  EXPECT_EQ(db.Counts().Count(), 5);
  EXPECT_EQ(Codes(db), "A011 A011 A011 A012 B021 B021 C123 C124 C124");
}

TEST_F(MathDBTest, MappingLoadsWithEndpointLinesThatAreNotCodes) {
  // Lines the packer refuses ("=" among the first three characters) may
  // still be on a disc: their counts lines do not read back as numbers.
  const std::string region = source_.BuildRegion();
  source_.SetEndpoints({"A01=Fractions", "B=Short", "=x", "B02=Equations", "C12=Triangles"});
  source_.SetDbFile("endpoint-mapping.txt", "C124=C123\r\n");
  MathDatabase db;
  Load(db, region);
  EXPECT_EQ(db.Counts().Text(), "A01=4\r\nB=S=0\r\n=x=0\r\nB02=2\r\nC12=3\r\n");
  EXPECT_EQ(Codes(db), "A011 A011 A011 A012 B021 B021 C123 C123 C123");
}

TEST_F(MathDBTest, EditionFoldsLevelFourIntoThree) {
  LevelFoldingDatabase db;
  Load(db);
  EXPECT_EQ(Codes(db), "A011 A011 A011 A012 B021 B021 C123 C123 C123");
  EXPECT_EQ(db.CountPrefix("C124"), 0);
  EXPECT_EQ(db.CountPrefix("C123"), 3);
  EXPECT_EQ(db.GetEndpointCount("C12"), 3);
  EXPECT_EQ(db.GetLevel("8"), "3");
}

TEST_F(MathDBTest, PageTextRewritesEveryPictureReference) {
  MathDatabase db;
  Load(db);
  StringList lines;
  db.GetPageText("000004", lines, pkProblem, "mathgfx.stmp");
  EXPECT_EQ(lines.Text(),
            "<img src=\"mathgfx.stmp?ID=000004&gfx=M_image1.png\"> and "
            "<img src=\"mathgfx.stmp?ID=000004&gfx=M_image1.png\">\r\n");
  db.GetPageText("4", lines, pkSolution, "g.stmp");  // the ID goes in as given
  EXPECT_EQ(lines.Text(), "<img src=\"g.stmp?ID=4&gfx=M_image2.gif\">\r\n");
  db.GetPageText("4", lines, pkBoth, "g");
  ASSERT_EQ(lines.Count(), 2);
  EXPECT_EQ(lines[1], "<img src=\"g?ID=4&gfx=M_image2.gif\">");
}

TEST_F(MathDBTest, PageTextLeavesTheTargetAloneWithoutPageOrBundle) {
  MathDatabase db;
  Load(db);
  StringList lines;
  lines.Add("keep");
  db.GetPageText("000005", lines, pkSolution, "mathgfx.stmp");  // no S.htm
  db.GetPageText("000009", lines, pkProblem, "mathgfx.stmp");   // past the end
  db.GetPageText("abc", lines, pkProblem, "mathgfx.stmp");
  db.GetPageText("-1", lines, pkProblem, "mathgfx.stmp");
  EXPECT_EQ(lines.Text(), "keep\r\n");
  // Both pages without a solution page: the problem page, its links rewritten.
  db.GetPageText("5", lines, pkBoth, "m");
  EXPECT_EQ(lines.Text(), "only a problem, m?ID=5&gfx=M_image9.png\r\n");
}

TEST_F(MathDBTest, PageGraphicsAndSingleGraphics) {
  MathDatabase db;
  Load(db);
  StringList names;
  db.ListPageGraphics("4", names);
  EXPECT_EQ(names.Text(), "p,M_image1.png\r\ns,M_image2.gif\r\n");
  db.ListPageGraphics("5", names);  // no S.htm: only the problem page names pictures
  EXPECT_EQ(names.Text(), "p,M_image9.png\r\n");
  db.ListPageGraphics("99", names);
  EXPECT_EQ(names.Text(), "p,M_image9.png\r\n");

  MemoryStream stream;
  db.GetGraphic("000004", "m_IMAGE2.GIF", stream);
  EXPECT_EQ(stream.View(), "GIFDATA");
  EXPECT_EQ(stream.Position(), 0u);
  db.GetGraphic("000004", "M_image7.png", stream);
  EXPECT_EQ(stream.View(), "GIFDATA");
}

TEST_F(MathDBTest, DamagedBundleCountsAsNoBundle) {
  std::string region = source_.BuildRegion();
  test::SetRegionWord(region, test::BundleOffset(region, 4), 0x00FFFFFF);  // name length
  // Position 5's block moved outside the data region.
  test::SetRegionWord(region, test::RegionWord(region, 8) + 5 * 12 + 4, 0xFFFFFF00u);
  MathDatabase db;
  Load(db, region);
  EXPECT_EQ(db.GetBundle(4), nullptr);
  EXPECT_EQ(db.GetBundle(5), nullptr);
  EXPECT_THROW(db.ReadBundle(4), DatabaseError);
  EXPECT_THROW(db.ReadBundle(5), DatabaseError);
  StringList lines;
  db.GetPageText("4", lines, pkProblem, "mathgfx.stmp");
  EXPECT_TRUE(lines.Empty());
  EXPECT_TRUE(db.CacheSnapshot().empty());
  EXPECT_NE(db.GetBundle(3), nullptr);  // the neighbours are sound
}

}  // namespace
}  // namespace qil
