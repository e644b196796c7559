// Writes a merged RTF document for a person to look at (scripts/view-rtf.sh):
// a head fragment, one fragment per picture format (PNG, JPEG, BMP, WMF, WMZ),
// each with its own font and colour tables, and a closing fragment, merged by
// the editor exactly as the worksheet copy merges them.
//
//   richtext_demo_document OUT.rtf
#include <fstream>
#include <iostream>

#include "../modules/PictureTestFiles.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "picture/PictureToRTF.h"
#include "richtext/RichTextEditor.h"

namespace qil {
namespace {

void Record(std::string& out, uint16_t function, std::initializer_list<uint16_t> params) {
  testfiles::PutLE(out, static_cast<uint32_t>(3 + params.size()), 4);
  testfiles::PutLE(out, function, 2);
  for (uint16_t p : params) testfiles::PutLE(out, p, 2);
}

// A vector metafile of 1 x 0.5 inch (1440 x 720 twips): a yellow rectangle
// with a blue ellipse inside, drawn with the default black pen.
std::string VectorMetafile() {
  std::string records;
  Record(records, 0x020B, {0, 0});                  // window origin
  Record(records, 0x020C, {720, 1440});             // window extent: height, width
  Record(records, 0x02FC, {0, 0xFFFF, 0x0000, 0});  // solid brush, yellow (00 FF FF 00)
  Record(records, 0x012D, {0});                     // select object 0
  Record(records, 0x041B, {700, 1420, 20, 20});     // rectangle: bottom, right, top, left
  Record(records, 0x01F0, {0});                     // delete object 0
  Record(records, 0x02FC, {0, 0x0000, 0x00FF, 0});  // solid brush, blue (00 00 FF 00)
  Record(records, 0x012D, {0});
  Record(records, 0x0418, {600, 1200, 120, 240});  // ellipse: bottom, right, top, left
  Record(records, 0x01F0, {0});
  Record(records, 0x0000, {});  // end
  return testfiles::PlaceableHeader(1440, 720, 1440) +
         testfiles::MetafileHeader(static_cast<uint32_t>((18 + records.size()) / 2), 1, 7) + records;
}

std::string PictureText(const std::string& file, const std::string& name) {
  MemoryStream G(file);
  StringList lines;
  PictureToRTF(G, lines, name);
  return lines.Text();
}

}  // namespace
}  // namespace qil

int main(int argc, char** argv) {
  using namespace qil;
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " OUT.rtf\n";
    return 2;
  }
  const std::string wide_png = testfiles::EncodePNG(200, 40);

  struct Picture {
    const char* label;
    std::string file;
    std::string name;
  };
  const Picture pictures[] = {
      {"PNG, 120 x 80 pixels, left half transparent", testfiles::EncodePNG(120, 80, true), "M_image1.png"},
      {"JPEG, 160 x 60 pixels", testfiles::EncodeJPEG(160, 60), "M_image2.jpg"},
      {"BMP, 8 bits, 64 x 64 pixels", testfiles::EncodeBMP(64, 64, 8), "M_image3.bmp"},
      {"WMF, 1 x 0.5 inch (96 x 48 pixels)", VectorMetafile(), "M_image4.wmf"},
      {"WMZ, 1 x 0.5 inch, with a file name in its gzip header", "", "M_image5.wmz"},
      {"PNG stored as .jpg, 200 x 40 pixels", wide_png, "M_image6.jpg"},
  };

  RichTextEditor editor;
  editor.InsertRTF(
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
      "{\\f1\\fswiss\\fcharset0 Arial;}}{\\colortbl;\\red0\\green0\\blue128;}{\\*\\generator head 1.0;}"
      "\\pard\\f1\\fs32\\cf1\\b Fragment 1: demo worksheet\\b0\\par}");
  int number = 2;
  const char* colours[] = {"\\red200\\green0\\blue0", "\\red0\\green128\\blue0", "\\red128\\green0\\blue128"};
  for (const Picture& picture : pictures) {
    std::string file = picture.file;
    if (picture.name == "M_image5.wmz") {
      testfiles::GzipOptions options;
      options.name = "M_image5.wmf";
      file = testfiles::Gzip(VectorMetafile(), options);
    }
    const std::string group = PictureText(file, picture.name);
    if (group.empty()) {
      std::cerr << "no picture group for " << picture.name << "\n";
      return 1;
    }
    const char* colour = colours[number % 3];
    editor.InsertRTF(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}{\\f1\\froman\\fcharset0 Times New "
        "Roman;}}"
        "{\\colortbl;" +
        std::string(colour) + ";}\\pard\\f1\\fs24\\cf1 Fragment " + std::to_string(number) + ": \\f0 " + picture.label +
        "\r\n" + group + "\\par}");
    ++number;
  }
  editor.InsertRTF("{\\rtf1{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}}\\pard\\f0\\i Fragment " +
                   std::to_string(number) + ": the end of the document.\\par}");

  std::ofstream out(argv[1], std::ios::binary);
  out << editor.SaveRTF();
  if (!out) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
