// Merging RTF fragments into the body of one document.
//
// RtfTables holds the font and colour tables of the merged document: a font
// is identified by its name, character set and family, a colour by its red,
// green and blue values; an entry equal to one present is shared. Font 0 is
// the editor's default font; colour 0 is the automatic colour.
//
// MergeRtfFragment reads one fragment (a whole "{\rtf1 ...}" document or bare
// RTF text), adds its font and colour tables to the merged tables, and
// appends its body to the merged body as one group, with every reference to a
// font or colour (\f, \af, \cf, \cb, \highlight, \chcbpat and the other
// shading and border colours) renumbered to the merged tables. The
// fragment's default font becomes the group's font. Picture groups are
// copied as they are. Document-level groups other than the two tables
// (style sheet, information, generator, list tables and the like) and the
// document-level words (\ansi, \ansicpgN, \deffN, \deflangN, ...) are dropped:
// the merged document writes its own. The appended group is always balanced:
// groups left open are closed, closers without an opener are dropped, and
// text after the fragment's document group is ignored, as are NUL bytes in
// text and broken escapes. Linear in the fragment's length.
// Not thread-safe; the tables and body belong to one editor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qil {

class RtfTables {
 public:
  struct Font {
    std::string family = "fnil";  // the family word without its backslash
    int32_t charset = -1;         // -1: not given
    int32_t pitch = -1;           // -1: not given
    std::string name;             // as RTF text (escapes kept)
  };
  struct Color {
    bool automatic = true;
    int32_t red = 0, green = 0, blue = 0;
  };

  explicit RtfTables(Font default_font);

  // Index of the font (or colour) in the merged table, appending it when new.
  int AddFont(const Font& font);
  int AddColor(const Color& color);

  int FontCount() const { return static_cast<int>(fonts_.size()); }
  int ColorCount() const { return static_cast<int>(colors_.size()); }

  // The tables as RTF groups: "{\fonttbl...}" and "{\colortbl;...}".
  std::string FontTableRtf() const;
  std::string ColorTableRtf() const;

  // Back to the default font and the automatic colour only.
  void Reset();

 private:
  Font default_font_;
  std::vector<Font> fonts_;
  std::vector<Color> colors_;
};

// Merges one fragment as described above. Answers the fragment's code page
// (\ansicpgN), or 0 when it names none.
int32_t MergeRtfFragment(std::string_view fragment, RtfTables& tables, std::string& body);

}  // namespace qil
