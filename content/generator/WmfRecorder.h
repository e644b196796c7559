// Sheets as vector pictures: placeable Windows metafiles that hold the text
// runs, fraction bars and radical signs of a sheet as records, the way
// equation editors write their formulas.
//
// The drawing is the one RenderSheet paints (same layout, same positions),
// recorded at 1440 units per inch: one pixel is 15 units, so the bounding box
// gives back the picture's size in pixels at 96 per inch. Text goes out in
// runs of one font: "DejaVu Sans" (the disc ships it) with the ANSI
// character set, and "Symbol" with the symbol character set for Greek
// letters and operators (SymbolCode). Every run carries the advance of each
// character as Pango measured it, so a reader places the characters where the
// raster picture has them whatever font it draws with. Lines are pens of the
// drawing's width, with round ends. A character that neither font holds is an
// error (std::runtime_error naming it). Deterministic: the same sheet gives
// the same bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Pictures.h"
#include "Render.h"
#include "Sheet.h"

namespace qil::disc {

// The code of a character in the Symbol font, for the characters written in
// it: Greek letters and the operators of formulas (minus, times, divide,
// plus-minus, comparisons, root, sum, arrows, ...). nullopt for all others.
std::optional<uint8_t> SymbolCode(char32_t c);
// The Windows-1252 code of a character that text runs hold (ASCII, Latin-1,
// typographic quotes and dashes; a thin space becomes a space), else nullopt.
std::optional<uint8_t> AnsiCode(char32_t c);
// Whether UTF-8 text has a character that SymbolCode writes in the Symbol font.
bool HasSymbols(std::string_view text);

struct VectorPicture {
  int width = 0;  // pixels at 96 per inch
  int height = 0;
  Bytes wmf;
};

// The sheet as RenderSheet lays it out at this width, recorded as a metafile.
VectorPicture RecordSheet(Renderer& renderer, const Sheet& sheet, int width);

}  // namespace qil::disc
