// Damaged copies of the built demo disc, each walked through one `qilcd
// session`: bytes flipped, zeroed or cut off in the archive's header, name
// and record blocks, in entries the walk reads, and in the math database's
// header, index, counts list and bundles. Some damages are made in the
// deciphered bytes (a deciphered byte or 32-bit field replaced, the block
// enciphered again), so that they reach the parsers as chosen values rather
// than as the noise a changed enciphered byte deciphers to.
//
// Every run must end within kRunLimit, by itself, and either stop at start-up
// with one line on stderr and exit code 2, or answer every address of the
// walk with a well-framed answer: a page or entry, the module manager's error
// page for that very address, or "404 - 0". Anything on stderr during a
// session (a sanitizer report) fails. The damages come from a fixed seed, so
// a failure names its copy and damage and reproduces. For a longer search,
// QIL_DAMAGE_SEED=N picks other damages and QIL_DAMAGE_COPIES=N walks N
// copies in each test.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "archive/ArchiveFormat.h"
#include "archive/Blowfish.h"
#include "archive/ArchiveReader.h"
#include "base/LittleEndian.h"
#include "base/Text.h"
#include "common/Qilcd.h"
#include "common/TestFiles.h"
#include "mathdb/Bundle.h"
#include "mathdb/MathDatabase.h"
#include "richtext/RtfTokenizer.h"

namespace qil::test {
namespace {

constexpr auto kRunLimit = std::chrono::seconds(20);
constexpr uint32_t kSeed = 0x0d15c;
// A fixed time of day, so the generated worksheet is the same in every run.
const std::string kTimeOfDay = "QILCD_UTC_TIME_OF_DAY_MS=43200000";

// A decimal number from the environment, or fallback.
uint32_t EnvironmentNumber(const char* name, uint32_t fallback) {
  const char* text = std::getenv(name);
  return text == nullptr ? fallback : static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
}

std::string Hex(uint64_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

// A stretch of the disc that copies are damaged in: [at, at + size), lying
// in an enciphered stretch that starts at base and is enciphered with key.
struct Region {
  std::string name;
  uint64_t at = 0;
  uint64_t size = 0;
  uint64_t base = 0;
  std::string key;
};

// The disc as the test takes it apart: its bytes, its regions and the walk.
struct Disc {
  std::string bytes;
  std::vector<Region> directory;  // the archive's header, name and record blocks
  std::vector<Region> entries;    // entries the walk reads
  std::vector<Region> database;   // the database's header, index and counts
  std::vector<Region> bundles;    // bundles of the walked problems, whole and their tables
  std::vector<std::string> walk;
};

enum class Kind { kFlip, kZero, kTruncate, kPlainByte, kPlainWord };

// One damage of one copy.
struct Damage {
  Kind kind = Kind::kFlip;
  const Region* region = nullptr;
  uint64_t offset = 0;  // in the file
  uint32_t value = 0;   // the byte XORed in, the plain byte or word written
  uint64_t length = 0;  // bytes zeroed

  std::string Describe() const {
    std::ostringstream out;
    switch (kind) {
      case Kind::kFlip: out << "byte XOR " << Hex(value); break;
      case Kind::kZero: out << length << " bytes zeroed"; break;
      case Kind::kTruncate: out << "file cut"; break;
      case Kind::kPlainByte: out << "deciphered byte set to " << Hex(value); break;
      case Kind::kPlainWord: out << "deciphered 32-bit word set to " << Hex(value); break;
    }
    out << " at file offset " << Hex(offset) << " (" << region->name << " + "
        << Hex(offset - region->at) << ")";
    return out.str();
  }
};

// The start of the 8-byte block of the region's stretch that holds offset.
uint64_t BlockOf(const Region& region, uint64_t offset) {
  return region.base + (offset - region.base) / 8 * 8;
}

// Deciphers or enciphers the 8-byte block of bytes at block with key.
void Cipher(std::string& bytes, std::string_view key, uint64_t block, bool encipher) {
  Blowfish cipher;
  cipher.SetKey(key);
  auto* data = reinterpret_cast<uint8_t*>(bytes.data() + block);
  if (encipher) {
    cipher.EncipherBlocks(data, data, 1);
  } else {
    cipher.DecipherBlocks(data, data, 1);
  }
}

void Apply(const Damage& damage, std::string& bytes) {
  switch (damage.kind) {
    case Kind::kFlip:
      bytes[damage.offset] = static_cast<char>(bytes[damage.offset] ^ damage.value);
      return;
    case Kind::kZero:
      std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(damage.offset),
                  std::min<uint64_t>(damage.length, bytes.size() - damage.offset), '\0');
      return;
    case Kind::kTruncate:
      bytes.resize(damage.offset);
      return;
    case Kind::kPlainByte:
    case Kind::kPlainWord: {
      const uint64_t block = BlockOf(*damage.region, damage.offset);
      Cipher(bytes, damage.region->key, block, false);
      if (damage.kind == Kind::kPlainByte) {
        bytes[damage.offset] = static_cast<char>(damage.value);
      } else {
        StoreU32LE(damage.value, bytes.data() + damage.offset);
      }
      Cipher(bytes, damage.region->key, block, true);
      return;
    }
  }
}

// The deciphered 32-bit word at offset (4-aligned within its stretch).
uint32_t PlainWord(const std::string& bytes, const Region& region, uint64_t offset) {
  std::string block = bytes.substr(BlockOf(region, offset), 8);
  Cipher(block, region.key, 0, false);
  return LoadU32LE(block.data() + (offset - BlockOf(region, offset)));
}

// Picks damages from a fixed seed.
class DamageSource {
 public:
  explicit DamageSource(uint32_t seed) : random_(seed) {}

  uint32_t Below(uint64_t n) { return static_cast<uint32_t>(random_() % n); }

  Damage Pick(const std::vector<Region>& regions, const std::vector<Kind>& kinds,
              const std::string& bytes) {
    Damage damage;
    damage.region = &regions[Below(regions.size())];
    damage.kind = kinds[Below(kinds.size())];
    const Region& region = *damage.region;
    damage.offset = region.at + Below(region.size);
    switch (damage.kind) {
      case Kind::kFlip:
        damage.value = 1 + Below(255);
        break;
      case Kind::kZero:
        damage.length = 1 + Below(Below(2) == 0 ? 8 : 256);
        break;
      case Kind::kTruncate:
        break;
      case Kind::kPlainByte: {
        // Bytes that mean something to the text parsers, or any byte.
        static const std::string kTelling("\0\r\n=<%>\"&?/,;-+ 09\xff", 19);
        damage.value = Below(2) == 0 ? static_cast<uint8_t>(kTelling[Below(kTelling.size())])
                                     : Below(256);
        break;
      }
      case Kind::kPlainWord: {
        damage.offset = region.base + (damage.offset - region.base) / 4 * 4;
        damage.offset = std::max(damage.offset, region.at);
        const uint32_t old = PlainWord(bytes, region, damage.offset);
        const uint32_t values[] = {0u, 1u, 8u, 0x7fffffffu, 0x80000000u, 0xffffffffu,
                                   0xfffffff8u, old + 8, old - 8, old * 2, old + 0x10000,
                                   static_cast<uint32_t>(bytes.size())};
        damage.value = values[Below(std::size(values))];
        break;
      }
    }
    return damage;
  }

 private:
  std::mt19937 random_;
};

// ---------------------------------------------------------------- the disc

Region Stretch(std::string name, uint64_t at, uint64_t size, std::string_view key) {
  return Region{std::move(name), at, size, at, std::string(key)};
}

std::string ProblemId(uint32_t position) { return ProblemID(static_cast<int32_t>(position)); }

// Reads the layout of the disc at path and lays out the walk.
Disc LoadDisc(const std::string& path) {
  Disc disc;
  disc.bytes = ReadBytes(path);
  if (disc.bytes.size() < archive::kHeaderSize) throw std::runtime_error("no disc at " + path);

  // The header's 16 whole blocks are enciphered, its 4-byte tail is not.
  const Region header = Stretch("archive header", 0, 128, archive::kHeaderKey);
  std::string head = disc.bytes.substr(0, 128);
  for (uint64_t block = 0; block < head.size(); block += 8) Cipher(head, header.key, block, false);
  head.resize(archive::kHeaderSize, '\0');
  const archive::ArchiveHeader fields =
      archive::ArchiveHeader::Decode(reinterpret_cast<const uint8_t*>(head.data()));
  const uint64_t names_size = archive::RoundUp8(fields.names_length);
  disc.directory = {header,
                    Stretch("name block", fields.names_offset, names_size, archive::kNamesKey),
                    Stretch("record block", fields.names_offset + names_size,
                            uint64_t{fields.file_count} * archive::kRecordSize, archive::kRecordsKey)};

  ArchiveReader archive;
  archive.Open(path, "", true);
  const std::string key = archive.ContentKey();
  for (const DirectoryEntry& entry : archive.Entries()) {
    if (entry.Name.ends_with(".stmp") || entry.Name.starts_with("db/") || entry.Name == "index.html") {
      disc.entries.push_back(Stretch("entry " + entry.Name, entry.Rec.Offset,
                                     archive::RoundUp8(entry.Rec.Size), key));
    }
  }

  // The database: header, index and counts as the data region holds them.
  const uint64_t data = archive.DataOffset();
  auto region = [&](std::string name, uint64_t offset, uint64_t size) {
    return Region{std::move(name), data + offset, size, data, key};
  };
  MemoryStream stream;
  archive.ReadBlock(0, kMathDBHeaderSize, "", stream);
  const uint32_t index_at = LoadU32LE(stream.Data() + 8);
  const uint32_t records = LoadU32LE(stream.Data() + 12);
  const uint32_t counts_at = LoadU32LE(stream.Data() + 16);
  const uint32_t counts_size = LoadU32LE(stream.Data() + 20);
  disc.database = {region("database header", 0, kMathDBHeaderSize),
                   region("database index", index_at, uint64_t{records} * kMathIndexRecordSize),
                   region("database counts", counts_at, counts_size)};
  archive.ReadBlock(index_at, records * kMathIndexRecordSize, "", stream);
  const std::string index(stream.View());

  // The walked problems: the first and the last, and the first one with a
  // picture of each format that is not PNG.
  std::vector<uint32_t> chosen = {0, records - 1};
  // The file names of a problem's bundle other than its pages, read once.
  std::vector<std::vector<std::string>> pictures(records);
  std::vector<bool> read(records, false);
  auto pictures_of = [&](uint32_t position) -> const std::vector<std::string>& {
    if (!read[position]) {
      const char* record = index.data() + position * kMathIndexRecordSize;
      archive.ReadBlock(LoadU32LE(record + 4), LoadU32LE(record + 8), "", stream);
      const ProblemBundle bundle = ProblemBundle::Parse(std::string(stream.View()));
      for (int file = 0; file < bundle.FileCount(); ++file) {
        if (!EndsText(".htm", bundle.FileName(file))) pictures[position].push_back(bundle.FileName(file));
      }
      read[position] = true;
    }
    return pictures[position];
  };
  for (const char* format : {".bmp", ".jpg", ".wmf", ".wmz"}) {
    for (uint32_t position = 0; position < records; ++position) {
      const std::vector<std::string>& names = pictures_of(position);
      if (std::any_of(names.begin(), names.end(), [&](const std::string& n) { return EndsText(format, n); })) {
        chosen.push_back(position);
        break;
      }
    }
  }
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());

  for (const uint32_t position : chosen) {
    const char* record = index.data() + position * kMathIndexRecordSize;
    const uint32_t at = LoadU32LE(record + 4);
    const uint32_t size = LoadU32LE(record + 8);
    disc.database.push_back(region("index record of " + ProblemId(position),
                                   index_at + position * kMathIndexRecordSize, kMathIndexRecordSize));
    archive.ReadBlock(at, size, "", stream);
    const ProblemBundle bundle = ProblemBundle::Parse(std::string(stream.View()));
    // The name text's length, the names and the table of data ranges.
    const uint64_t table = 4 + uint64_t{LoadU32LE(stream.Data())} + 8 * uint64_t(bundle.FileCount());
    disc.bundles.push_back(region("bundle of " + ProblemId(position), at, size));
    disc.bundles.push_back(region("bundle table of " + ProblemId(position), at, table));
  }

  // The walk: start page, index, a topic's pages, goto, every chosen problem
  // with its pictures, copied, and two of them added to the worksheet, then
  // the worksheet pages, a generated worksheet and its copy.
  auto code = [&](uint32_t position) { return index.substr(position * kMathIndexRecordSize, 4); };
  const std::string topic = code(chosen[1]);
  const std::string list = "main=" + topic.substr(0, 1) + "&sub=" + topic.substr(1, 2);
  std::vector<std::string>& walk = disc.walk;
  walk = {"index.html",
          "main.stmp",
          "mathlist.stmp?" + list,
          "mathlist.stmp?start=" + std::to_string(chosen[1] + 1),
          "problem_lent.stmp?" + list,
          "alsonaviga.stmp?" + list + "&start=" + std::to_string(chosen[1] + 1),
          "mathgoto.stmp?goto=" + std::to_string(chosen[2] + 1)};
  for (const uint32_t position : chosen) {
    const std::string id = ProblemId(position);
    walk.push_back("solution.stmp?id=" + id);
    for (const std::string& name : pictures_of(position)) {
      walk.push_back("mathgfx.stmp?ID=" + id + "&gfx=" + name);
    }
    walk.push_back("clipbo.stmp?type=b&id=" + id);
    // Two problems on the worksheet: its copy converts their pictures again.
    if (position == chosen.front() || position == chosen.back()) walk.push_back("wadd.stmp?id=" + id);
  }
  // This edition offers levels 1 to 3 to the generator (level 4 counts as 3).
  const std::string generate =
      "T" + code(0) + "=2&T" + code(records - 1).substr(0, 3) + "3=1&rnd=damage";
  const std::vector<std::string> rest = {
      "worksheet.stmp",
      "edit1.stmp?action=moveup&id=" + ProblemId(chosen.back()),
      "statistic.stmp",
      "creator.stmp",
      "clipbo.stmp?type=cl_w_sol",
      "edit1.stmp?action=gensheet_main&" + generate,
      "edit1.stmp?action=gensheet&" + generate,
      "statistic.stmp",
      "clipbo.stmp?type=cl_pr_num"};
  walk.insert(walk.end(), rest.begin(), rest.end());
  return disc;
}

// ---------------------------------------------------------------- the runs

bool HasErrorMarker(const std::string& body, std::string_view marker) {
  return body.find(marker) != std::string::npos;
}

constexpr std::string_view kExecutionError = "<pre>Error executing template script: \"";
constexpr std::string_view kNoModule = "<pre>Template script not found for template: \"";

// Whether body is, or ends in, the manager's error page for address.
bool IsErrorPageFor(const std::string& body, const std::string& address) {
  for (const std::string_view marker : {kExecutionError, kNoModule}) {
    if (body.find(std::string(marker) + "/" + address + "\"") != std::string::npos) return true;
  }
  return false;
}

// What the runs of a test came to, printed at its end.
struct Tally {
  int copies = 0;
  int stopped = 0;      // at start-up
  int error_pages = 0;  // answers, over all walks
  int no_answers = 0;
};

// Checks one run over a copy. intact: the copy is the disc itself, whose
// walk must succeed everywhere.
void CheckRun(const QilcdRun& run, const std::vector<std::string>& walk,
              const std::string& clipboard, bool intact, Tally& tally) {
  ++tally.copies;
  if (run.timed_out) {
    ADD_FAILURE() << "qilcd did not end within " << kRunLimit.count() << " s";
    return;
  }
  if (run.signal != 0) {
    ADD_FAILURE() << "qilcd ended by signal " << run.signal << "\n" << run.err.substr(0, 4000);
    return;
  }
  if (run.exit_code == 2 && !intact) {
    // Stopped at start-up: one message line, nothing answered.
    ++tally.stopped;
    EXPECT_TRUE(run.out.empty()) << run.out.substr(0, 200);
    const bool one_line = !run.err.empty() && run.err.find('\n') == run.err.size() - 1 &&
                          run.err.size() > 1;
    EXPECT_TRUE(one_line) << "start-up message: " << run.err.substr(0, 4000);
    return;
  }
  ASSERT_EQ(run.exit_code, 0) << run.err.substr(0, 4000);
  EXPECT_EQ(run.err, "");

  const std::vector<SessionAnswer> answers = ParseSessionAnswers(run.out);
  EXPECT_EQ(answers.size(), walk.size());
  for (size_t i = 0; i < answers.size() && i < walk.size(); ++i) {
    const SessionAnswer& answer = answers[i];
    const std::string& address = walk[i];
    if (answer.status == "404") {
      ++tally.no_answers;
      EXPECT_FALSE(intact) << address << ": no answer";
      EXPECT_EQ(answer.mime, "-") << address;
      EXPECT_EQ(answer.body, "") << address;
      continue;
    }
    ASSERT_EQ(answer.status, "200") << address;
    const bool marked = HasErrorMarker(answer.body, kExecutionError) || HasErrorMarker(answer.body, kNoModule);
    if (intact) {
      EXPECT_FALSE(marked) << address << "\n" << answer.body.substr(0, 400);
      if (address.starts_with("mathgfx")) {
        EXPECT_FALSE(answer.body.empty()) << address;
      }
    } else if (marked) {
      ++tally.error_pages;
      EXPECT_TRUE(IsErrorPageFor(answer.body, address))
          << address << ": an error page for another address\n" << answer.body.substr(0, 400);
    }
  }
  // The last copy is the generated worksheet's, merged by the editor: when
  // it succeeded, the clipboard holds one balanced RTF document.
  if (answers.size() == walk.size() && walk.back().starts_with("clipbo.stmp?type=cl_") &&
      answers.back().status == "200" && !IsErrorPageFor(answers.back().body, walk.back())) {
    const std::string document = ReadBytes(clipboard);
    EXPECT_TRUE(IsOneBalancedGroup(document)) << document.substr(0, 400);
  }
}

class DamagedDisc : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* path = std::getenv("QIL_DEMO_DISC");
    if (path == nullptr || QilcdPath().empty()) return;
    disc_ = new Disc(LoadDisc(path));
  }
  static void TearDownTestSuite() {
    delete disc_;
    disc_ = nullptr;
  }

  void SetUp() override {
    if (disc_ == nullptr) GTEST_SKIP() << "QILCD or QIL_DEMO_DISC is not set";
  }

  // Writes bytes as the disc of one run and walks it.
  QilcdRun Walk(const std::string& bytes) {
    WriteBytes(disc_file_, bytes);
    std::filesystem::remove(clipboard_);
    std::string input;
    for (const std::string& address : disc_->walk) input += address + "\n";
    return RunQilcd({"session", "--archive", disc_file_, "--clipboard", clipboard_}, input, {},
                    {kTimeOfDay}, kRunLimit);
  }

  // Walks count copies, each with one damage picked from regions and kinds.
  void WalkDamagedCopies(uint32_t seed, int count, const std::vector<Region>& regions,
                         const std::vector<Kind>& kinds) {
    ASSERT_FALSE(regions.empty());
    const uint32_t base = EnvironmentNumber("QIL_DAMAGE_SEED", kSeed);
    count = static_cast<int>(EnvironmentNumber("QIL_DAMAGE_COPIES", static_cast<uint32_t>(count)));
    DamageSource source(base ^ seed);
    for (int copy = 0; copy < count; ++copy) {
      const Damage damage = source.Pick(regions, kinds, disc_->bytes);
      WalkWith(damage, "seed " + std::to_string(base) + ", copy " + std::to_string(copy));
    }
    std::cout << tally_.copies << " copies: " << tally_.stopped << " stopped at start-up, "
              << tally_.error_pages << " error pages and " << tally_.no_answers
              << " no-answers in the walks of the others" << std::endl;
  }

  void WalkWith(const Damage& damage, const std::string& label) {
    std::string bytes = disc_->bytes;
    Apply(damage, bytes);
    SCOPED_TRACE(label + ": " + damage.Describe());
    const QilcdRun run = Walk(bytes);
    CheckRun(run, disc_->walk, clipboard_, false, tally_);
    if (HasFailure() && !walk_shown_) {
      walk_shown_ = true;
      std::cerr << "the walk:";
      for (const std::string& address : disc_->walk) std::cerr << " " << address;
      std::cerr << std::endl;
    }
  }

  static Disc* disc_;
  Tally tally_;
  bool walk_shown_ = false;
  TempDir dir_{TempPlace::kMemory};
  std::string disc_file_ = dir_.File("math.dat");
  std::string clipboard_ = dir_.File("clipboard.rtf");
};

Disc* DamagedDisc::disc_ = nullptr;

const std::vector<Kind> kAllKinds = {Kind::kFlip, Kind::kZero, Kind::kTruncate, Kind::kPlainByte,
                                     Kind::kPlainWord};
const std::vector<Kind> kInPlace = {Kind::kFlip, Kind::kZero, Kind::kPlainByte, Kind::kPlainWord};

TEST_F(DamagedDisc, IntactDiscAnswersTheWholeWalk) {
  const QilcdRun run = Walk(disc_->bytes);
  CheckRun(run, disc_->walk, clipboard_, true, tally_);
  // Every format of picture is walked.
  std::string walk;
  for (const std::string& address : disc_->walk) walk += address + "\n";
  for (const char* format : {".png\n", ".jpg\n", ".bmp\n", ".wmf\n", ".wmz\n"}) {
    EXPECT_NE(walk.find(format), std::string::npos) << format;
  }
}

TEST_F(DamagedDisc, ArchiveHeaderNamesAndRecords) {
  WalkDamagedCopies(1, 30, disc_->directory, kAllKinds);
}

TEST_F(DamagedDisc, EntriesTheWalkReads) { WalkDamagedCopies(2, 40, disc_->entries, kInPlace); }

TEST_F(DamagedDisc, DatabaseHeaderIndexAndCounts) {
  WalkDamagedCopies(3, 40, disc_->database, kInPlace);
}

TEST_F(DamagedDisc, BundlesOfTheWalkedProblems) { WalkDamagedCopies(4, 40, disc_->bundles, kInPlace); }

TEST_F(DamagedDisc, CutAnywhere) {
  std::vector<Region> everywhere = disc_->directory;
  for (const auto* part : {&disc_->entries, &disc_->database, &disc_->bundles}) {
    everywhere.insert(everywhere.end(), part->begin(), part->end());
  }
  WalkDamagedCopies(5, 20, everywhere, {Kind::kTruncate});
}

}  // namespace
}  // namespace qil::test
