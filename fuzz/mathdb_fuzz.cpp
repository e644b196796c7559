// libFuzzer target: loading the math database and every lookup the pages make.
//
// The input is the plain data region followed by the list files, each part
// behind a separator line:
//   REGION "\n@@list@@\n" db/endpoints.txt "\n@@list@@\n" db/menuid.txt
//          "\n@@list@@\n" db/endpoint-mapping.txt
// A list that is missing is not put into the archive (the mapping, above
// all, is optional). The parts go through the archive writer into a file, as
// `qilcd pack` would write them, so the loader reads them the way the engine
// does. A load may refuse a damaged database with DatabaseError; after a
// load every lookup, page, picture and a generated worksheet must work
// without raising anything but the documented conversion errors, and every
// bundle held for an operation must be given back.
//
// Seeds: fuzz/make-seeds.sh writes small databases taken from the demo disc.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "base/Exceptions.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "mathdb/LevelFoldingDatabase.h"
#include "mathdb/MathDatabase.h"
#include "modules/WorksheetGenerator.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

constexpr std::string_view kSeparator = "\n@@list@@\n";
constexpr const char* kLists[] = {"db/endpoints.txt", "db/menuid.txt", "db/endpoint-mapping.txt"};

// Region and list files of one input.
struct Parts {
  std::string region;
  std::vector<std::string> lists;
};

Parts Split(std::string_view input) {
  Parts parts;
  size_t end = input.find(kSeparator);
  parts.region = std::string(input.substr(0, end));
  while (end != std::string_view::npos && parts.lists.size() < std::size(kLists)) {
    const size_t start = end + kSeparator.size();
    end = input.find(kSeparator, start);
    parts.lists.emplace_back(input.substr(start, end == std::string_view::npos ? end : end - start));
  }
  return parts;
}

std::string ArchivePath() {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(base) + "/qil_mathdb_fuzz_" + std::to_string(getpid()) + ".dat";
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// The lookups of the list and index pages for one endpoint.
void LookUpEndpoint(qil::MathDatabase& db, const std::string& endpoint) {
  try {
    db.GetEndpointCount(endpoint);
  } catch (const qil::ConvertError&) {
    // a count that is not a number: the index page reports it
  }
  db.GetEndpointName(endpoint);
  db.GetMenuValue("s" + endpoint);
  for (char level = '1'; level <= '4'; ++level) {
    const std::string prefix = endpoint + level;
    const int32_t count = db.CountPrefix(prefix);
    Check(count >= 0 && count <= db.RecordCount());
    const std::optional<int32_t> first = db.FindNthProblem(prefix, 1);
    db.FindNthProblem(prefix, count);
    db.FindNthProblem(prefix, count + 1);
    Check(first.has_value() == (count > 0));
    if (first) Check(db.GetOrdinalInPrefix(prefix, *first) == 1);
  }
}

// The problem and solution pages, their picture list and every picture, as
// the problem page, the lists and the clipboard ask for them.
void ReadProblem(qil::MathDatabase& db, int32_t position) {
  const std::string id = qil::ProblemID(position);
  db.GetCode(position);
  db.GetLevel(position);
  for (const qil::PageKind kind : {qil::pkProblem, qil::pkSolution, qil::pkBoth}) {
    qil::StringList lines;
    db.GetPageText(id, lines, kind, "mathgfx.stmp");
  }
  qil::StringList names;
  db.ListPageGraphics(id, names);
  for (int i = 0; i < names.Count() && i < 8; ++i) {
    qil::MemoryStream picture;
    db.GetGraphic(id, names[i].substr(2), picture);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The generator seeds itself from the time of day: fixed, so runs repeat.
  static qil::HeadlessPlatform platform;
  platform.SetFixedTimeOfDay(43200000);
  qil::SetCurrentPlatform(&platform);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ArchivePath();
  const Parts parts = Split(std::string_view(reinterpret_cast<const char*>(data), size));
  {
    qil::ArchiveWriter writer;
    for (size_t i = 0; i < parts.lists.size(); ++i) writer.AddEntry(kLists[i], parts.lists[i]);
    writer.SetDataRegion(parts.region);
    writer.WriteToFile(path);
  }
  struct RemoveFile {
    ~RemoveFile() { std::remove(path.c_str()); }
  } remove_file;

  qil::ArchiveReader archive;
  archive.Open(path, "", true);  // written just now: it must open
  qil::LevelFoldingDatabase db;
  try {
    db.Load(archive);
  } catch (const qil::DatabaseError&) {
    return 0;  // a damaged header, index or counts list
  }

  const int32_t records = db.RecordCount();
  const qil::StringList& endpoints = db.Endpoints();
  for (int i = 0; i < endpoints.Count() && i < 32; ++i) {
    LookUpEndpoint(db, endpoints.Name(i).substr(0, 3));
  }
  for (const int32_t position : {0, 1, records / 2, records - 1, records, -1}) {
    ReadProblem(db, position);
  }
  // Every bundle of a small database, through the cache and past its capacity.
  for (int32_t position = 0; position < records && position < 80; ++position) {
    ReadProblem(db, position);
  }
  for (const qil::BundleCacheEntry& entry : db.CacheSnapshot()) Check(entry.RefCount == 0);

  // A worksheet drawn from the first groups the generator offers.
  qil::StringList params;
  const std::vector<std::string> keys = qil::WorksheetGroupKeys(db);
  for (size_t i = 0; i < keys.size() && i < 6; ++i) params.Add("T" + keys[i] + "=" + std::to_string(i % 3 + 1));
  qil::StringList worksheet;
  try {
    qil::GenerateWorksheet(params, db, qil::CurrentPlatform(), worksheet);
  } catch (const qil::Exception&) {
    // a group with fewer problems than asked for
  }
  for (int i = 0; i < worksheet.Count(); ++i) Check(!worksheet[i].empty());
  return 0;
}
