// Conversion of a problem picture into an RTF picture group that embeds a
// Windows metafile as hexadecimal text.
//
// Raster pictures (".bmp", ".png", ".jpg", and any file with the PNG
// signature except a ".bmp") are decoded and recorded into a placeable
// metafile (Metafile.h); metafiles (".wmf", and gzip-compressed ".wmz") are
// embedded as they are. A group is a header line (it begins with its own
// CR LF and a paragraph mark and gives the size in hundredths of a millimetre
// and in twips at 96 pixels per inch), the metafile without its placeable
// header as lines of 80 lowercase hex digits, and a closing line "}" + CR LF.
// Not thread-safe as to its arguments; keeps no state of its own.
#pragma once

#include <string>

namespace qil {

class MemoryStream;
class StringList;

// Bytes per hex line in picture groups, and the most HexLines accepts.
inline constexpr int kHexBytesPerLine = 40;
inline constexpr int kMaxHexBytesPerLine = 128;

// Appends to lines one picture group for the picture file in G (positioned at
// 0), whose format file_name's extension decides. Appends nothing for an
// unsupported extension or for a metafile that cannot be read (not gzip,
// corrupt, no placeable header); those errors are swallowed. A raster picture
// that cannot be decoded raises InvalidPicture and appends nothing.
void PictureToRTF(MemoryStream& G, StringList& lines, const std::string& file_name);

// Appends the bytes of S from its position to its end to lines, n bytes per
// line, as lowercase hex text; S's position does not move. Does nothing when
// S or lines is null or n is outside 1 to 128.
void HexLines(const MemoryStream* S, StringList* lines, int n);

}  // namespace qil
