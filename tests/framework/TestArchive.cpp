#include "TestArchive.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "archive/ArchiveWriter.h"

namespace qil::test {

std::string TempPath(const std::string& stem) {
  static std::atomic<int> counter{0};
  return (std::filesystem::temp_directory_path() /
          (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
      .string();
}

TestArchive::TestArchive(const std::map<std::string, std::string>& entries)
    : path_(TempPath("qil-test") + ".dat") {
  TArchiveWriter writer;
  for (const auto& [name, bytes] : entries) writer.AddEntry(name, bytes);
  writer.WriteToFile(path_);
  archive_.Open(path_, std::string(TArchiveWriter::kDefaultProductId), false);
}

TestArchive::~TestArchive() {
  archive_.Close();
  std::filesystem::remove(path_);
}

}  // namespace qil::test
