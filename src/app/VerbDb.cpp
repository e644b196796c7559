// qilcd db ARCHIVE: shows the math database of an archive and checks it.
//
// Prints the header, one line per endpoint with its name, its stored count and
// the number of records per level, then checks every bundle (it must parse
// and hold "P.htm") and that each stored count matches the index. Exit codes:
// 0 all sound, 1 something damaged (each fault is listed), 2 the archive or
// the database cannot be opened or loaded.
#include <cstdio>
#include <iostream>
#include <string>

#include "app/Verbs.h"
#include "archive/ArchiveReader.h"
#include "base/Convert.h"
#include "mathdb/MathDatabase.h"

namespace qil::app {

namespace {

void PrintHeader(const MathDatabase& db) {
  const DatabaseHeader& h = db.Header();
  std::printf("Math DB version %d: %d records, index at %d, counts list at %d (%d bytes)\n", h.Version,
              h.RecordCount, h.IndexOffset, h.CountsOffset, h.CountsSize);
}

// One line per line of Counts; returns the number of faults found.
int PrintCounts(const MathDatabase& db) {
  int faults = 0;
  std::printf("%-4s %8s %7s %7s %7s %7s  %s\n", "code", "count", "level1", "level2", "level3", "level4",
              "name");
  const StringList& counts = db.Counts();
  for (int i = 0; i < counts.Count(); ++i) {
    const std::string code = counts.Name(i);
    const std::string stored = counts.ValueFromIndex(i);
    int32_t levels[4];
    for (int level = 0; level < 4; ++level) levels[level] = db.CountPrefix(code + char('1' + level));
    std::printf("%-4s %8s %7d %7d %7d %7d  %s\n", code.c_str(), stored.c_str(), levels[0], levels[1],
                levels[2], levels[3], db.GetEndpointName(code).c_str());
    const std::optional<int32_t> count = TryStrToInt(stored);
    if (!count) {
      std::printf("DAMAGED counts line %d \"%s\": the count is not a number\n", i + 1, counts[i].c_str());
      ++faults;
    } else if (*count != db.CountPrefix(code)) {
      std::printf("DAMAGED counts line %d \"%s\": the index holds %d records of endpoint %s\n", i + 1,
                  counts[i].c_str(), db.CountPrefix(code), code.c_str());
      ++faults;
    }
  }
  return faults;
}

// Reads every bundle; returns the number of damaged ones.
int CheckBundles(MathDatabase& db) {
  int damaged = 0;
  for (int32_t position = 0; position < db.RecordCount(); ++position) {
    std::string fault;
    try {
      const ProblemBundlePtr bundle = db.ReadBundle(position);
      if (bundle->IndexOfFile("P.htm") < 0) fault = "it has no P.htm";
    } catch (const std::exception& error) {
      fault = error.what();
    }
    if (fault.empty()) continue;
    ++damaged;
    std::printf("DAMAGED bundle %s (code \"%s\"): %s\n", ProblemID(position).c_str(),
                db.GetCode(position).value_or("").c_str(), fault.c_str());
  }
  std::printf("%d bundles checked, %d damaged\n", db.RecordCount(), damaged);
  return damaged;
}

}  // namespace

int RunDb(const Args& args) {
  if (args.size() != 1) {
    std::cerr << "usage: qilcd db ARCHIVE" << std::endl;
    return 2;
  }
  ArchiveReader archive;
  MathDatabase db;
  try {
    archive.Open(args[0], std::string(), true);
    db.Load(archive);
  } catch (const std::exception& error) {
    std::cerr << "qilcd db: " << args[0] << ": " << error.what() << std::endl;
    return 2;
  }
  PrintHeader(db);
  const int faults = PrintCounts(db) + CheckBundles(db);
  std::fflush(stdout);
  return faults == 0 ? 0 : 1;
}

}  // namespace qil::app
