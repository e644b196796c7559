// Test helpers of the math database: a problem bank source folder, and
// archives built from it through the bank builder and the archive writer, or
// with the plain data region patched to damage it. Temporary folders and
// whole-file reads and writes come with common/TestFiles.h.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "common/TestFiles.h"

namespace qil::test {

// A problem bank source folder under construction.
class BankSource {
 public:
  explicit BankSource(std::filesystem::path root) : root_(std::move(root)) {}
  const std::filesystem::path& Root() const { return root_; }

  // Writes db/endpoints.txt with the given lines (each ended by CR LF).
  void SetEndpoints(const std::vector<std::string>& lines);
  // Writes db/<name> with the given text.
  void SetDbFile(const std::string& name, const std::string& text);
  // Creates problems/<code>/<number>/ with the given files.
  void AddProblem(const std::string& code, const std::string& number,
                  const std::map<std::string, std::string>& files);
  // A problem with a P.htm naming the problem (and an S.htm).
  void AddSimpleProblem(const std::string& code, const std::string& number);

  // The data region built from the folder.
  std::string BuildRegion() const;
  // An archive at path of every db/ file and the given data region.
  void WriteArchive(const std::filesystem::path& path, const std::string& region) const;
  // WriteArchive with the region built from the folder.
  void WriteArchive(const std::filesystem::path& path) const { WriteArchive(path, BuildRegion()); }

 private:
  std::filesystem::path root_;
};

// Reads the little-endian 32-bit word at offset of a plain region / writes it.
uint32_t RegionWord(const std::string& region, size_t offset);
void SetRegionWord(std::string& region, size_t offset, uint32_t value);
// The data-region offset of the bundle of a position, from the region's index.
uint32_t BundleOffset(const std::string& region, uint32_t position);

// An archive opened with the product check skipped.
void OpenArchive(ArchiveReader& archive, const std::filesystem::path& path);

}  // namespace qil::test
