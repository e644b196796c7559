// Damaged copies of the built demo disc, each walked through one `qilcd
// session`: bytes flipped, zeroed or cut off in the archive's header, name
// and record blocks, in entries the walk reads, and in the math database's
// header, index, counts list and bundles. Some damages are made in the
// deciphered bytes (a byte or 32-bit field replaced, the block enciphered
// again), so they reach the parsers as chosen values, not as noise.
//
// Every run must end within kRunLimit, by itself, and either stop at start-up
// with one line on stderr and exit code 2, or answer every address of the walk
// in frame: a page or entry, the error page for that very address, or "404 -
// 0"; anything on stderr (a sanitizer report) fails. A fixed seed makes every
// failure reproduce; QIL_DAMAGE_SEED=N and QIL_DAMAGE_COPIES=N (per row of
// kPlans) search further.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveReader.h"
#include "archive/Blowfish.h"
#include "base/MemoryStream.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "mathdb/MathDatabase.h"
#include "richtext/RtfTokenizer.h"

namespace qil::test {
namespace {

constexpr auto kRunLimit = std::chrono::seconds(20);

// A stretch copies are damaged in: [at, at + size), inside an enciphered
// stretch that starts at base and is enciphered with key.
struct Region {
  std::string name;
  uint64_t at, size, base;
  std::string key;
};

enum Part { kDirectory, kEntries, kDatabase, kBundles, kParts };

// Kinds of damage: f a byte flipped, z bytes zeroed, c the file cut, b a
// deciphered byte set, w a deciphered 32-bit word set.
struct Plan {
  const char* name;
  std::vector<Part> parts;
  std::string kinds;  // none: the intact disc
  int copies;
};
const Plan kPlans[] = {{"IntactDisc", {}, "", 1},
                       {"ArchiveHeaderNamesAndRecords", {kDirectory}, "fzcbw", 30},
                       {"EntriesTheWalkReads", {kEntries}, "fzbw", 40},
                       {"DatabaseHeaderIndexAndCounts", {kDatabase}, "fzbw", 40},
                       {"BundlesOfTheWalkedProblems", {kBundles}, "fzbw", 40},
                       {"CutAnywhere", {kDirectory, kEntries, kDatabase, kBundles}, "c", 20}};
void PrintTo(const Plan& plan, std::ostream* out) { *out << plan.name; }  // the row's name in the test's

// Deciphers or enciphers the 8-byte block of region that holds offset.
void Cipher(std::string& bytes, const Region& region, uint64_t offset, bool encipher) {
  Blowfish cipher;
  cipher.SetKey(region.key);
  auto* block = reinterpret_cast<uint8_t*>(bytes.data() + region.base + (offset - region.base) / 8 * 8);
  encipher ? cipher.EncipherBlocks(block, block, 1) : cipher.DecipherBlocks(block, block, 1);
}

// Damages bytes once in region, place and value drawn from random; says what it did.
std::string Damage(std::string& bytes, const Region& region, char kind, std::mt19937& random) {
  auto below = [&](uint64_t n) { return static_cast<uint32_t>(random() % n); };
  uint64_t at = region.at + below(region.size);
  std::ostringstream what;
  if (kind == 'f') {
    const uint32_t mask = 1 + below(255);
    bytes[at] = static_cast<char>(bytes[at] ^ mask);
    what << "byte XOR " << mask;
  } else if (kind == 'z') {
    const uint64_t length = std::min<uint64_t>(1 + below(below(2) == 0 ? 8 : 256), bytes.size() - at);
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), length, '\0');
    what << length << " bytes zeroed";
  } else if (kind == 'c') {
    bytes.resize(at);
    what << "file cut";
  } else {
    if (kind == 'w') at = std::max(region.base + (at - region.base) / 4 * 4, region.at);
    Cipher(bytes, region, at, false);
    // Bytes that mean something to the text parsers or any byte; counts and offsets at their limits.
    static const std::string kTelling("\0\r\n=<%>\"&?/,;-+ 09\xff", 19);
    const uint32_t old = kind == 'w' ? LoadU32LE(bytes.data() + at) : 0;
    const uint32_t words[] = {0u, 1u, 8u, 0x7fffffffu, 0x80000000u, 0xffffffffu, 0xfffffff8u, old + 8,
                              old - 8, old * 2, old + 0x10000, static_cast<uint32_t>(bytes.size())};
    const uint32_t value = kind == 'w'        ? words[below(std::size(words))]
                           : below(2) == 0 ? static_cast<uint8_t>(kTelling[below(kTelling.size())])
                                           : below(256);
    kind == 'w' ? StoreU32LE(value, bytes.data() + at) : void(bytes[at] = static_cast<char>(value));
    Cipher(bytes, region, at, true);
    what << "deciphered " << (kind == 'w' ? "32-bit word" : "byte") << " set to " << value;
  }
  what << " at " << region.name << " + " << at - region.at << " (file offset " << at << ")";
  return what.str();
}

// The disc as the test takes it apart: its bytes, its regions and the walk.
struct Disc {
  std::string bytes;
  std::vector<Region> parts[kParts];
  std::vector<std::string> walk;
};

Disc LoadDisc(const std::string& path) {
  Disc disc;
  disc.bytes = ReadBytes(path);
  // The header's 16 whole blocks are enciphered, its 4-byte tail is not.
  const Region header{"archive header", 0, 128, 0, std::string(archive::kHeaderKey)};
  std::string head = disc.bytes.substr(0, archive::kHeaderSize);
  for (uint64_t block = 0; block < 128; block += 8) Cipher(head, header, block, false);
  const auto fields = archive::ArchiveHeader::Decode(reinterpret_cast<const uint8_t*>(head.data()));
  const uint64_t names = archive::RoundUp8(fields.names_length), records = fields.names_offset + names;
  disc.parts[kDirectory] = {
      header, {"name block", fields.names_offset, names, fields.names_offset, std::string(archive::kNamesKey)},
      {"record block", records, fields.file_count * archive::kRecordSize, records, std::string(archive::kRecordsKey)}};

  ArchiveReader archive;
  archive.Open(path, "", true);
  const std::string key = archive.ContentKey();
  for (const DirectoryEntry& entry : archive.Entries()) {
    if (entry.Name.ends_with(".stmp") || entry.Name.starts_with("db/") || entry.Name == "index.html") {
      const uint64_t at = entry.Rec.Offset;
      disc.parts[kEntries].push_back({"entry " + entry.Name, at, archive::RoundUp8(entry.Rec.Size), at, key});
    }
  }
  // The database, as the data region holds it.
  const uint64_t data = archive.DataOffset();
  auto region = [&](std::string name, uint64_t offset, uint64_t size) {
    return Region{std::move(name), data + offset, size, data, key};
  };
  auto read = [&](uint32_t offset, uint32_t size) {
    MemoryStream stream;
    archive.ReadBlock(offset, size, "", stream);
    return stream.Bytes();
  };
  const std::string db = read(0, kMathDBHeaderSize);
  const uint32_t index_at = LoadU32LE(db.data() + 8), count = LoadU32LE(db.data() + 12);
  disc.parts[kDatabase] = {region("database header", 0, kMathDBHeaderSize),
                           region("database index", index_at, uint64_t{count} * kMathIndexRecordSize),
                           region("database counts", LoadU32LE(db.data() + 16), LoadU32LE(db.data() + 20))};
  const std::string index = read(index_at, count * kMathIndexRecordSize);
  auto code = [&](uint32_t position) { return index.substr(position * kMathIndexRecordSize, 4); };

  // The walked problems, the first, the last and each one that shows a
  // format of picture not seen before, with their part of the walk.
  std::set<std::string> formats = {".png"};
  std::vector<uint32_t> chosen;
  std::vector<std::string> problems;
  for (uint32_t position = 0; position < count; ++position) {
    const char* record = index.data() + position * kMathIndexRecordSize;
    const std::string bundle = read(LoadU32LE(record + 4), LoadU32LE(record + 8));
    // The name text: two header lines, then the names of the pages and pictures.
    std::istringstream lines(bundle.substr(4, LoadU32LE(bundle.data())));
    std::vector<std::string> names, pictures;
    for (std::string line; std::getline(lines, line);) names.push_back(line.substr(0, line.find('\r')));
    const bool end = position == 0 || position + 1 == count;
    bool walked = end;
    for (size_t n = 2; n < names.size(); ++n) {
      if (names[n].ends_with(".htm")) continue;
      pictures.push_back(names[n]);
      walked = formats.insert(names[n].substr(names[n].rfind('.'))).second || walked;
    }
    if (!walked) continue;
    chosen.push_back(position);
    const std::string id = ProblemID(static_cast<int32_t>(position));
    const uint64_t table = 4 + LoadU32LE(bundle.data()) + 8 * (names.size() - 2);  // name text and file table
    disc.parts[kDatabase].push_back(
        region("index record of " + id, index_at + position * kMathIndexRecordSize, kMathIndexRecordSize));
    disc.parts[kBundles].push_back(region("bundle of " + id, LoadU32LE(record + 4), bundle.size()));
    disc.parts[kBundles].push_back(region("bundle table of " + id, LoadU32LE(record + 4), table));
    problems.push_back("solution.stmp?id=" + id);
    for (const std::string& name : pictures) problems.push_back("mathgfx.stmp?ID=" + id + "&gfx=" + name);
    problems.push_back("clipbo.stmp?type=b&id=" + id);
    if (end) problems.push_back("wadd.stmp?id=" + id);
  }

  // The walk: start page, index, a topic's pages, goto, the chosen problems,
  // then the worksheet pages, a generated worksheet and its copy. This
  // edition offers levels 1 to 3 to the generator (level 4 counts as 3).
  const std::string topic = code(chosen[1]), list = "main=" + topic.substr(0, 1) + "&sub=" + topic.substr(1, 2);
  const std::string start = "start=" + std::to_string(chosen[1] + 1);
  const std::string generate = "T" + code(0) + "=2&T" + code(count - 1).substr(0, 3) + "3=1&rnd=damage";
  disc.walk = {"index.html", "main.stmp", "mathlist.stmp?" + list, "mathlist.stmp?" + start,
               "problem_lent.stmp?" + list, "alsonaviga.stmp?" + list + "&" + start,
               "mathgoto.stmp?goto=" + std::to_string(chosen[2] + 1)};
  disc.walk.insert(disc.walk.end(), problems.begin(), problems.end());
  disc.walk.insert(disc.walk.end(),
                   {"worksheet.stmp", "edit1.stmp?action=moveup&id=" + ProblemID(static_cast<int32_t>(chosen.back())),
                    "statistic.stmp", "creator.stmp", "clipbo.stmp?type=cl_w_sol",
                    "edit1.stmp?action=gensheet_main&" + generate, "edit1.stmp?action=gensheet&" + generate,
                    "statistic.stmp", "clipbo.stmp?type=cl_pr_num"});
  return disc;
}

class DamagedDisc : public ::testing::TestWithParam<Plan> {
 protected:
  static void SetUpTestSuite() {
    const char* path = std::getenv("QIL_DEMO_DISC");
    if (path != nullptr && !QilcdPath().empty()) disc_ = new Disc(LoadDisc(path));
  }
  static void TearDownTestSuite() {
    delete disc_;
    disc_ = nullptr;
  }
  void SetUp() override {
    if (disc_ == nullptr) GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
  }

  // Walks bytes as the disc and checks the run; intact: the disc's own bytes.
  void Walk(const std::string& bytes, bool intact) {
    WriteBytes(dir_.File("math.dat"), bytes);
    std::filesystem::remove(dir_.File("clip.rtf"));
    std::string input;
    for (const std::string& address : disc_->walk) input += address + "\n";
    const QilcdRun run = RunQilcd({"session", "--archive", "math.dat", "--clipboard", "clip.rtf"}, input, dir_.Path(),
                                  {"QILCD_UTC_TIME_OF_DAY_MS=43200000"}, kRunLimit);
    ASSERT_FALSE(run.timed_out) << "qilcd did not end within " << kRunLimit.count() << " s";
    ASSERT_EQ(run.signal, 0) << run.err.substr(0, 4000);
    if (run.exit_code == 2 && !intact) {  // stopped at start-up: one line, nothing answered
      EXPECT_EQ(run.out, "");
      EXPECT_TRUE(run.err.size() > 1 && run.err.find('\n') == run.err.size() - 1) << run.err.substr(0, 4000);
      return;
    }
    ASSERT_EQ(run.exit_code, 0) << run.err.substr(0, 4000);
    EXPECT_EQ(run.err, "");
    const std::vector<SessionAnswer> answers = ParseSessionAnswers(run.out);
    ASSERT_EQ(answers.size(), disc_->walk.size());
    for (size_t i = 0; i < answers.size(); ++i) {
      const std::string& address = disc_->walk[i];
      const SessionAnswer& answer = answers[i];
      if (answer.status == "404") {
        EXPECT_EQ(answer.mime + answer.body + (intact ? " on the intact disc" : ""), "-") << address;
      } else if (intact) {
        EXPECT_FALSE(answer.body.empty() || IsErrorPage(answer.body)) << address << "\n" << answer.body.substr(0, 400);
      } else if (IsErrorPage(answer.body)) {
        EXPECT_TRUE(IsErrorPage(answer.body, "/" + address)) << address << ": an error page for another address";
      }
    }
    // When the generated worksheet's copy went through, the clipboard holds one RTF document.
    if (answers.back().status == "200" && !IsErrorPage(answers.back().body)) {
      EXPECT_TRUE(IsOneBalancedGroup(ReadBytes(dir_.File("clip.rtf"))));
    }
  }

  static Disc* disc_;
  TempDir dir_{TempPlace::kMemory};
};

Disc* DamagedDisc::disc_ = nullptr;

TEST_P(DamagedDisc, EveryRunAnswersOrStopsCleanly) {
  const Plan& plan = GetParam();
  for (const std::string format : {".png", ".jpg", ".bmp", ".wmf", ".wmz"}) {  // every one walked
    EXPECT_NE(std::find_if(disc_->walk.begin(), disc_->walk.end(), [&](auto& a) { return a.ends_with(format); }),
              disc_->walk.end()) << format;
  }
  std::vector<Region> regions;
  for (const Part part : plan.parts) regions.insert(regions.end(), disc_->parts[part].begin(), disc_->parts[part].end());
  const char* copies_text = std::getenv("QIL_DAMAGE_COPIES");
  const uint32_t seed = std::getenv("QIL_DAMAGE_SEED") ? std::stoul(std::getenv("QIL_DAMAGE_SEED")) : 0x0d15c;
  uint32_t row_seed = seed;  // each row its own damages
  for (const char c : std::string_view(plan.name)) row_seed = row_seed * 31 + static_cast<uint8_t>(c);
  std::mt19937 random(row_seed);
  const int copies = plan.kinds.empty() || !copies_text ? plan.copies : std::atoi(copies_text);
  for (int copy = 0; copy < copies; ++copy) {
    std::string bytes = disc_->bytes, what = "no damage";
    if (!plan.kinds.empty()) {
      const Region& region = regions[random() % regions.size()];  // drawn first, then the kind
      what = Damage(bytes, region, plan.kinds[random() % plan.kinds.size()], random);
    }
    SCOPED_TRACE("seed " + std::to_string(seed) + ", copy " + std::to_string(copy) + ": " + what);
    Walk(bytes, plan.kinds.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedDisc, ::testing::ValuesIn(kPlans));

}  // namespace
}  // namespace qil::test
