// A content archive built for one test: entries given in memory, written to a
// temporary file, opened with the reader. The file goes with the object.
// TempPath and the other file helpers come with common/TestFiles.h.
#pragma once

#include <initializer_list>
#include <map>
#include <string>

#include "archive/ArchiveReader.h"
#include "common/TestFiles.h"

namespace qil::test {

class TestArchive {
 public:
  // name -> bytes
  explicit TestArchive(const std::map<std::string, std::string>& entries);
  TestArchive(std::initializer_list<std::pair<const std::string, std::string>> entries)
      : TestArchive(std::map<std::string, std::string>(entries)) {}
  ~TestArchive();
  TestArchive(const TestArchive&) = delete;
  TestArchive& operator=(const TestArchive&) = delete;

  ArchiveReader& Archive() { return archive_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  ArchiveReader archive_;
};

}  // namespace qil::test
