#include "modules/PictureToRTF.h"

#include <exception>
#include <optional>

#include "base/Convert.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "base/Text.h"
#include "modules/Gunzip.h"
#include "modules/Metafile.h"
#include "modules/RasterDecoders.h"
#include "protocol/FileNames.h"

namespace qil {
namespace {

// Units of the header line per inch: hundredths of a millimetre and twips.
constexpr int64_t kHimetricPerInch = 2540;
constexpr int64_t kTwipsPerInch = 1440;

std::string HeaderLine(int64_t width_px, int64_t height_px) {
  const auto scaled = [](int64_t pixels, int64_t units_per_inch) {
    return IntToStr(RoundDivHalfEven(pixels * units_per_inch, kPixelsPerInch));
  };
  return "\r\n\\par{\\pict\\wmetafile8\\picw" + scaled(width_px, kHimetricPerInch) + "\\pich" +
         scaled(height_px, kHimetricPerInch) + "\\picwgoal" + scaled(width_px, kTwipsPerInch) + "\\pichgoal" +
         scaled(height_px, kTwipsPerInch);
}

bool HasPNGSignature(const TMemoryStream& G) { return G.Size() >= 4 && G.View().substr(1, 3) == "PNG"; }

std::string_view Remaining(const TMemoryStream& stream) {
  const std::string_view all = stream.View();
  return stream.Position() < all.size() ? all.substr(stream.Position()) : std::string_view();
}

// Appends the group of a metafile picture: data holds the whole placeable metafile.
void AppendGroup(TMemoryStream& data, const TMetafileSize& size, TStringList& lines) {
  lines.Add(HeaderLine(size.width, size.height));
  data.SetPosition(kPlaceableHeaderSize);
  HexLines(&data, &lines, kHexBytesPerLine);
  lines.Add("}\r\n");
}

// ".wmf" and ".wmz": any failure means the picture is skipped.
void AppendMetafile(TMemoryStream& G, TStringList& lines, bool compressed) {
  std::optional<TMemoryStream> inflated;
  TMetafileSize size;
  try {
    if (compressed) {
      inflated.emplace();
      GunzipToStream(G, *inflated);
    }
    if (!ReadPlaceableMetafile((inflated ? *inflated : G).View(), size)) return;
  } catch (const std::exception&) {
    return;
  }
  AppendGroup(inflated ? *inflated : G, size, lines);
}

}  // namespace

void PictureToRTF(TMemoryStream& G, TStringList& lines, const std::string& file_name) {
  const std::string ext = LowerCase(ExtractFileExt(file_name));
  TBitmap24 bitmap;
  if (ext == ".bmp") {
    bitmap = DecodeBMP(Remaining(G));
  } else if (ext == ".png" || HasPNGSignature(G)) {
    bitmap = DecodePNG(Remaining(G));
  } else if (ext == ".jpg") {
    bitmap = DecodeJPEG(Remaining(G));
  } else if (ext == ".wmz" || ext == ".wmf") {
    AppendMetafile(G, lines, ext == ".wmz");
    return;
  } else {
    return;
  }
  TMemoryStream metafile;
  WritePlaceableMetafile(bitmap, metafile);
  AppendGroup(metafile, TMetafileSize{bitmap.width, bitmap.height}, lines);
}

void HexLines(const TMemoryStream* S, TStringList* lines, int n) {
  if (S == nullptr || lines == nullptr || n < 1 || n > kMaxHexBytesPerLine) return;
  static constexpr char kDigits[] = "0123456789abcdef";
  const std::string_view bytes = Remaining(*S);
  char line[2 * kMaxHexBytesPerLine];
  for (size_t start = 0; start < bytes.size(); start += static_cast<size_t>(n)) {
    const size_t count = std::min(bytes.size() - start, static_cast<size_t>(n));
    for (size_t i = 0; i < count; ++i) {
      const auto byte = static_cast<unsigned char>(bytes[start + i]);
      line[2 * i] = kDigits[byte >> 4];
      line[2 * i + 1] = kDigits[byte & 0x0F];
    }
    lines->Add(std::string(line, 2 * count));
  }
}

}  // namespace qil
