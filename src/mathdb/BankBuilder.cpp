#include "mathdb/BankBuilder.h"

#include <algorithm>
#include <limits>
#include <map>

#include "archive/PackFolder.h"
#include "base/Convert.h"
#include "base/Exceptions.h"
#include "base/Files.h"
#include "base/LittleEndian.h"
#include "base/StringList.h"
#include "base/Text.h"
#include "mathdb/Bundle.h"
#include "mathdb/DatabaseError.h"
#include "mathdb/MathDatabase.h"

namespace fs = std::filesystem;

namespace qil {

namespace {

constexpr const char* kEndpointsName = "db/endpoints.txt";
constexpr const char* kBundleFormat = "qil-problem-bundle 1";

[[noreturn]] void BadFolder(const std::string& relative, const std::string& why) {
  throw DatabaseError("Bad problem folder \"" + relative + "\": " + why + ".");
}

bool IsDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Compares two digit strings by numeric value, whatever their length.
int CompareNumbers(std::string_view a, std::string_view b) {
  const auto strip = [](std::string_view text) {
    const size_t first = text.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
  };
  a = strip(a);
  b = strip(b);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

std::vector<fs::directory_entry> SortedEntries(const fs::path& folder) {
  std::vector<fs::directory_entry> entries(fs::directory_iterator(folder), fs::directory_iterator{});
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
  return entries;
}

// One problem folder: its files, P.htm required.
BankProblem ScanProblem(const fs::directory_entry& entry, const std::string& code) {
  BankProblem problem;
  problem.code = code;
  problem.number = entry.path().filename().string();
  problem.folder = entry.path();
  const std::string relative = std::string(kProblemsFolder) + "/" + code + "/" + problem.number;
  if (!entry.is_directory()) BadFolder(relative, "it is not a folder");
  if (!IsDigits(problem.number)) BadFolder(relative, "the problem number must be decimal digits");
  bool has_problem_page = false;
  for (const fs::directory_entry& file : SortedEntries(entry.path())) {
    const std::string name = file.path().filename().string();
    if (!file.is_regular_file()) BadFolder(relative + "/" + name, "a problem folder holds files only");
    if (name.find_first_of("\r\n") != std::string::npos) BadFolder(relative, "a file name holds CR or LF");
    if (SameText(name, "P.htm")) has_problem_page = true;
    problem.files.push_back(name);
  }
  if (!has_problem_page) BadFolder(relative, "it has no P.htm");
  return problem;
}

std::vector<BankProblem> ScanProblems(const fs::path& problems_dir) {
  std::vector<BankProblem> problems;
  for (const fs::directory_entry& code_entry : SortedEntries(problems_dir)) {
    const std::string code = code_entry.path().filename().string();
    const std::string relative = std::string(kProblemsFolder) + "/" + code;
    if (!code_entry.is_directory()) BadFolder(relative, "it is not a folder");
    if (code.size() != 4 || code[3] < '1' || code[3] > '4') {
      BadFolder(relative, "a problem code is a 3-character endpoint code and a level from 1 to 4");
    }
    for (const fs::directory_entry& entry : SortedEntries(code_entry.path())) {
      problems.push_back(ScanProblem(entry, code));
    }
  }
  return problems;
}

// Appends zero bytes up to the next multiple of 8.
void PadTo8(std::string& region) { region.append((8 - region.size() % 8) % 8, '\0'); }

void CheckRegionSize(uint64_t size) {
  if (size > std::numeric_limits<uint32_t>::max()) {
    throw DatabaseError("The problem bank is too large: its data would exceed 4 GB.");
  }
}

std::string LayOutRegion(const std::vector<std::string>& endpoints, const std::vector<BankProblem>& problems) {
  if (problems.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / kMathIndexRecordSize)) {
    throw DatabaseError("The problem bank holds too many problems.");
  }
  std::map<std::string, int32_t> counts;
  for (const BankProblem& problem : problems) ++counts[problem.code.substr(0, 3)];
  std::string counts_text;
  for (const std::string& endpoint : endpoints) counts_text += endpoint + "=" + IntToStr(counts[endpoint]) + "\r\n";

  const auto record_count = static_cast<uint32_t>(problems.size());
  std::string region(kMathDBHeaderSize, '\0');
  const auto index_offset = static_cast<uint32_t>(region.size());
  region.append(size_t{record_count} * kMathIndexRecordSize, '\0');
  PadTo8(region);
  const auto counts_offset = static_cast<uint32_t>(region.size());
  region += counts_text;
  PadTo8(region);

  std::string header;
  for (uint32_t field : {0u, static_cast<uint32_t>(kMathDBVersion), index_offset, record_count, counts_offset,
                         static_cast<uint32_t>(counts_text.size()), 0u, 0u}) {
    AppendLE32(header, field);
  }
  region.replace(0, header.size(), header);

  for (uint32_t i = 0; i < record_count; ++i) {
    const BankProblem& problem = problems[i];
    std::vector<BundleFile> files;
    for (const std::string& name : problem.files) files.emplace_back(name, ReadWholeFile(problem.folder / name));
    const std::string bundle = BuildBundle(problem.code + "/" + problem.number, kBundleFormat, files);
    const uint64_t offset = region.size();
    CheckRegionSize(offset + bundle.size());
    region += bundle;
    PadTo8(region);

    std::string record = problem.code;
    AppendLE32(record, static_cast<uint32_t>(offset));
    AppendLE32(record, static_cast<uint32_t>(bundle.size()));
    region.replace(index_offset + size_t{i} * kMathIndexRecordSize, kMathIndexRecordSize, record);
  }
  CheckRegionSize(region.size());
  return region;
}

}  // namespace

bool HasProblemBank(const fs::path& src_dir) { return fs::is_directory(src_dir / kProblemsFolder); }

std::vector<std::string> ParseEndpointCodes(const std::string& endpoints_text) {
  StringList lines;
  lines.SetText(endpoints_text);
  std::vector<std::string> codes;
  for (int i = 0; i < lines.Count(); ++i) {
    const std::string& line = lines[i];
    const std::string where = std::string(kEndpointsName) + " line " + IntToStr(i + 1);
    if (line.size() < 4 || line[3] != '=') {
      throw DatabaseError("Bad " + where + ": an endpoint line is a 3-character code, \"=\" and a name.");
    }
    const std::string code = line.substr(0, 3);
    if (std::find(codes.begin(), codes.end(), code) != codes.end()) {
      throw DatabaseError("Bad " + where + ": endpoint \"" + code + "\" is listed twice.");
    }
    codes.push_back(code);
  }
  return codes;
}

void SortBankProblems(const std::vector<std::string>& endpoints, std::vector<BankProblem>& problems) {
  std::map<std::string, size_t> order;
  for (size_t i = 0; i < endpoints.size(); ++i) order.emplace(endpoints[i], i);
  for (const BankProblem& problem : problems) {
    if (order.count(problem.code.substr(0, 3)) == 0) {
      BadFolder(std::string(kProblemsFolder) + "/" + problem.code,
                "endpoint \"" + problem.code.substr(0, 3) + "\" is not listed in " + kEndpointsName);
    }
  }
  const auto less = [&order](const BankProblem& a, const BankProblem& b) {
    const size_t ea = order.at(a.code.substr(0, 3));
    const size_t eb = order.at(b.code.substr(0, 3));
    if (ea != eb) return ea < eb;
    if (a.code[3] != b.code[3]) return a.code[3] < b.code[3];
    return CompareNumbers(a.number, b.number) < 0;
  };
  std::stable_sort(problems.begin(), problems.end(), less);
  for (size_t i = 1; i < problems.size(); ++i) {
    const BankProblem& a = problems[i - 1];
    const BankProblem& b = problems[i];
    if (a.code == b.code && CompareNumbers(a.number, b.number) == 0) {
      const std::string prefix = std::string(kProblemsFolder) + "/" + a.code + "/";
      BadFolder(prefix + b.number, "it has the same number as \"" + prefix + a.number + "\"");
    }
  }
}

std::string BuildProblemBank(const fs::path& src_dir) {
  const fs::path endpoints_file = src_dir / kEndpointsName;
  if (!fs::is_regular_file(endpoints_file)) {
    throw DatabaseError(std::string("A problem bank needs ") + kEndpointsName + ", which is missing.");
  }
  const std::vector<std::string> endpoints = ParseEndpointCodes(ReadWholeFile(endpoints_file));
  std::vector<BankProblem> problems = ScanProblems(src_dir / kProblemsFolder);
  SortBankProblems(endpoints, problems);
  return LayOutRegion(endpoints, problems);
}

void AddProblemBankToPacking(PackOptions& options) {
  const std::string prefix = std::string(kProblemsFolder) + "/";
  options.skip = [prefix, skip = std::move(options.skip)](const std::string& relative_path) {
    return relative_path.compare(0, prefix.size(), prefix) == 0 || (skip && skip(relative_path));
  };
  options.complete = [complete = std::move(options.complete)](const fs::path& src_dir, ArchiveWriter& writer) {
    if (complete) complete(src_dir, writer);
    if (HasProblemBank(src_dir)) writer.SetDataRegion(BuildProblemBank(src_dir));
  };
}

}  // namespace qil
