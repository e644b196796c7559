// A written PDF read back with poppler's tools (pdfinfo, pdftotext,
// pdfimages), from a temporary file. A tool that fails adds a test failure.
#pragma once

#include <string>
#include <vector>

#include "common/TestFiles.h"

namespace qil::test {

struct PdfImage {
  int page = 0, width = 0, height = 0;  // pixels
  std::string encoding;                 // "jpeg", "image" (deflated pixels), ...
  int object = 0, x_ppi = 0;            // its object number; pixels per inch as placed
};

class PdfFile {
 public:
  explicit PdfFile(const std::string& bytes) { WriteBytes(path_, bytes); }
  static bool ToolsPresent();  // poppler-utils (scripts/install-deps.sh)

  int Pages() const;
  std::string PageSize() const;          // "595 x 842"
  std::string PageText(int page) const;  // from 1, laid out as printed
  std::vector<PdfImage> Images() const;

 private:
  TempDir dir_;
  std::string path_ = dir_.File("sheet.pdf");
};

}  // namespace qil::test
