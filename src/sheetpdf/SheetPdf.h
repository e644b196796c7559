// A worksheet printed to PDF: the sheet a student fills in and, when asked
// for, its answer key on pages of its own after it. Laid out with cairo and
// pango; no web engine.
//
// The worksheet is a list of problem positions of the math database (the
// disc prints position + 1 as a problem's number). What the pages hold:
//  - The sheet's first page opens with the title, lines for the student's
//    name and the date, and the sheet code when there is one (beside the
//    title, or below it when long). The key's first page opens with
//    "Answer key", the code and the title.
//  - Problems are numbered 1, 2, 3, ... in worksheet order, each with its
//    number on the disc in small print ("(problem 1,020)"), then the blocks
//    of its problem part (P.htm) on the sheet, with room to work below, or
//    of its solution part (S.htm) in the key. PartMarkup.h tells how a part
//    becomes blocks; the alt text of pictures appears nowhere.
//  - Pictures are printed at their size (0.75 pt per CSS pixel), scaled down
//    only to the width of the text column, or to the height of a page.
//    PNG, JPEG and BMP pictures become one image each in the PDF (a picture
//    on both pages of a problem is embedded once; a JPEG keeps its own
//    bytes); metafiles stay vectors, text as text (a bitmap inside a
//    metafile becomes an image of its own).
//  - A problem never runs over two pages, unless it is taller than a page
//    by itself: then it starts a fresh page and is split between blocks
//    (a paragraph longer than a page between its lines).
//  - Every page's footer holds the sheet code, when there is one (wrapped
//    over more lines when long, the body ending higher), and "page N of M";
//    the sheet's pages and the key's are counted apart, so either can be
//    printed on its own.
//  - A position that names no problem, a missing part or picture, a picture
//    that does not decode or a damaged part gives a short note in brackets
//    where it would have been ("[picture missing]"); the sheet goes on.
// Paper is A4 (595 x 842 pt) or Letter (612 x 792 pt). Text is set in
// DejaVu Sans (fontconfig substitutes another family where it is missing).
//
// WriteWorksheetPdf raises SheetPdfError only when cairo cannot write the
// PDF (out of memory, say). It reads the database through its bundle cache
// and may run alongside other readers of it; memory grows with the pictures
// of the problems on one part (sheet or key), each bounded by the decoders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Exceptions.h"

namespace qil {

class MathDatabase;

class SheetPdfError : public Exception {
 public:
  using Exception::Exception;
};

enum class Paper { kA4, kLetter };

struct SheetPdfOptions {
  Paper paper = Paper::kA4;
  std::string title = "Worksheet";
  std::string code;        // the sheet code; printed when not empty
  bool answerKey = false;  // add the answer key after the sheet
};

// The sheet (and, with answerKey, the key on its own pages after it) as PDF bytes.
std::string WriteWorksheetPdf(MathDatabase& db, const std::vector<int32_t>& positions,
                              const SheetPdfOptions& options);

}  // namespace qil
