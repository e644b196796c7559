// A content archive built for one test from entries given in memory: a
// temporary file opened with the reader, removed with the object.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "archive/ArchiveReader.h"
#include "archive/ArchiveWriter.h"
#include "common/TestFiles.h"

namespace qil::test {

class TestArchive {
 public:
  explicit TestArchive(const std::map<std::string, std::string>& entries) {  // name -> bytes
    ArchiveWriter writer;
    for (const auto& [name, bytes] : entries) writer.AddEntry(name, bytes);
    writer.WriteToFile(path_);
    archive_.Open(path_, std::string(ArchiveWriter::kDefaultProductId), false);
  }
  ~TestArchive() {
    archive_.Close();
    std::filesystem::remove(path_);
  }
  ArchiveReader& Archive() { return archive_; }

 private:
  std::string path_ = TempPath("qil-test") + ".dat";
  ArchiveReader archive_;
};

}  // namespace qil::test
