// A problem's part (its P.htm or S.htm page) read as a column of blocks to
// print: paragraphs of text and pictures, top to bottom.
//
// The page goes through libxml2's HTML parser, which recovers from any
// damage, so every input gives some column (perhaps an empty one). Text is
// taken as UTF-8 when it is valid UTF-8, else as Windows-1252. Then:
//  - <img> is a picture block with its src and its width and height
//    attributes (CSS pixels; 0 when absent or not a number; at most
//    kMaxPictureAttribute). Its alt text is not used.
//  - <br>, and the start and end of <p>, <div>, <li>, <tr>, <h1>..<h6> and
//    other block elements, end the paragraph; empty paragraphs are dropped.
//  - Text has its white space collapsed as a browser does and is escaped for
//    pango markup; <b>/<strong>, <i>/<em>, <u>, <sup>, <sub> become pango's
//    tags of the same name, closed at the end of each paragraph and opened
//    again in the next one, so every block's markup is balanced.
//  - <script>, <style>, <head> and their content are skipped, as is anything
//    nested deeper than kMaxPartDepth elements and any byte beyond
//    kMaxPartBytes.
// A pure function; safe from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qil {

inline constexpr int kMaxPictureAttribute = 4096;            // CSS pixels
inline constexpr int kMaxPartDepth = 200;               // nested elements
inline constexpr size_t kMaxPartBytes = 4 * 1024 * 1024;

struct PartBlock {
  enum class Kind { kText, kPicture };
  Kind kind = Kind::kText;
  std::string markup;  // kText: pango markup, never empty
  std::string source;  // kPicture: the src attribute as written
  int width = 0;       // kPicture: CSS pixels, 0 when not given
  int height = 0;
};

std::vector<PartBlock> ReadPart(std::string_view html);

}  // namespace qil
