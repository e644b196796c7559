#include "TestArchive.h"

#include <filesystem>

#include "archive/ArchiveWriter.h"

namespace qil::test {

TestArchive::TestArchive(const std::map<std::string, std::string>& entries)
    : path_(TempPath("qil-test") + ".dat") {
  ArchiveWriter writer;
  for (const auto& [name, bytes] : entries) writer.AddEntry(name, bytes);
  writer.WriteToFile(path_);
  archive_.Open(path_, std::string(ArchiveWriter::kDefaultProductId), false);
}

TestArchive::~TestArchive() {
  archive_.Close();
  std::filesystem::remove(path_);
}

}  // namespace qil::test
