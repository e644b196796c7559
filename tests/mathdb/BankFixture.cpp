#include "mathdb/BankFixture.h"

#include "archive/ArchiveWriter.h"
#include "base/LittleEndian.h"
#include "mathdb/BankBuilder.h"

namespace fs = std::filesystem;

namespace qil::test {

void BankSource::SetEndpoints(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  SetDbFile("endpoints.txt", text);
}

void BankSource::AddProblem(const std::string& code, const std::string& number,
                            const std::map<std::string, std::string>& files) {
  for (const auto& [name, bytes] : files) WriteFile(root_ / kProblemsFolder / code / number / name, bytes);
  fs::create_directories(root_ / kProblemsFolder / code / number);
}

void BankSource::AddSimpleProblem(const std::string& code, const std::string& number) {
  AddProblem(code, number, {{"P.htm", "problem " + code + "/" + number}, {"S.htm", "solution"}});
}

std::string BankSource::BuildRegion() const { return BuildProblemBank(root_); }

void BankSource::WriteArchive(const fs::path& path, const std::string& region) const {
  ArchiveWriter writer;
  if (fs::is_directory(root_ / "db")) {
    for (const fs::directory_entry& entry : fs::directory_iterator(root_ / "db")) {
      writer.AddEntry("db/" + entry.path().filename().string(), ReadBytes(entry.path()));
    }
  }
  writer.SetDataRegion(region);
  writer.WriteToFile(path.string());
}

uint32_t RegionWord(const std::string& region, size_t offset) { return LoadU32LE(region.data() + offset); }
void SetRegionWord(std::string& region, size_t offset, uint32_t value) { StoreU32LE(value, region.data() + offset); }

void OpenArchive(ArchiveReader& archive, const fs::path& path) { archive.Open(path.string(), std::string(), true); }

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "(none)";
}

}  // namespace qil::test
