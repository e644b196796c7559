// A content archive built for one test: entries given in memory, written to a
// temporary file, opened with the reader. The file goes with the object.
#pragma once

#include <initializer_list>
#include <map>
#include <string>

#include "archive/CDArch.h"

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

  TCDArchiver& Archive() { return archive_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  TCDArchiver archive_;
};

// A fresh path in the temporary directory (nothing is created there).
std::string TempPath(const std::string& stem);

}  // namespace qil::test
