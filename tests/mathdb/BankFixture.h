// Test helpers of the math database: a problem bank source folder, and
// archives of its db/ files and a data region built from it or patched.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "common/TestFiles.h"

namespace qil::test {

class BankSource {
 public:
  explicit BankSource(std::filesystem::path root) : root_(std::move(root)) {}
  const std::filesystem::path& Root() const { return root_; }

  void SetEndpoints(const std::vector<std::string>& lines);  // each line ended by CR LF
  void SetDbFile(const std::string& name, const std::string& text) { WriteFile(root_ / "db" / name, text); }
  // problems/CODE/NUMBER/ with the files; a simple problem has P.htm "problem CODE/NUMBER" and an S.htm.
  void AddProblem(const std::string& code, const std::string& number, const std::map<std::string, std::string>& files);
  void AddSimpleProblem(const std::string& code, const std::string& number);

  std::string BuildRegion() const;
  void WriteArchive(const std::filesystem::path& path, const std::string& region) const;
  void WriteArchive(const std::filesystem::path& path) const { WriteArchive(path, BuildRegion()); }

 private:
  std::filesystem::path root_;
};

uint32_t RegionWord(const std::string& region, size_t offset);
void SetRegionWord(std::string& region, size_t offset, uint32_t value);

// Opens an archive with the product check skipped.
void OpenArchive(ArchiveReader& archive, const std::filesystem::path& path);
// The message of the exception f raises; "(none)" when it raises none.
std::string ErrorOf(const std::function<void()>& f);

}  // namespace qil::test
