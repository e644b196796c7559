#include "sheetpdf/PdfFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>

namespace qil::test {
namespace {

std::string Run(const std::string& command) {
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  std::string out;
  char buffer[4096];
  for (size_t got; pipe != nullptr && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  if (pipe == nullptr || pclose(pipe) != 0) ADD_FAILURE() << command << " failed";
  return out;
}

std::string Info(const std::string& path, const std::string& field) {
  std::smatch match;
  const std::string info = Run("pdfinfo '" + path + "'");
  return std::regex_search(info, match, std::regex(field + ":\\s*([^\\n]*)")) ? match[1].str() : "";
}

}  // namespace

bool PdfFile::ToolsPresent() { return std::system("command -v pdftotext pdfimages pdfinfo >/dev/null") == 0; }

int PdfFile::Pages() const { return std::atoi(Info(path_, "Pages").c_str()); }

std::string PdfFile::PageSize() const {
  const std::string size = Info(path_, "Page size");
  return size.substr(0, size.find(" pts"));
}

std::string PdfFile::PageText(int page) const {
  const std::string n = std::to_string(page);
  return Run("pdftotext -layout -f " + n + " -l " + n + " '" + path_ + "' -");
}

std::vector<PdfImage> PdfFile::Images() const {
  // page num type width height color comp bpc enc interp object ID x-ppi ...
  static const std::regex row(R"(\n\s*(\d+)\s+\d+\s+image\s+(\d+)\s+(\d+)\s+\S+\s+\d+\s+\d+\s+(\S+)\s+\S+\s+(\d+)\s+\d+\s+(\d+))");
  const std::string list = Run("pdfimages -list '" + path_ + "'");
  std::vector<PdfImage> images;
  for (auto it = std::sregex_iterator(list.begin(), list.end(), row); it != std::sregex_iterator(); ++it) {
    const std::smatch& m = *it;
    images.push_back({std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), m[4], std::stoi(m[5]), std::stoi(m[6])});
  }
  return images;
}

}  // namespace qil::test
