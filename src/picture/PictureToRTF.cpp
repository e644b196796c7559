#include "picture/PictureToRTF.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>

#include "base/Convert.h"
#include "base/FileNames.h"
#include "base/MemoryStream.h"
#include "base/StringList.h"
#include "base/Text.h"
#include "picture/Gunzip.h"
#include "picture/Metafile.h"
#include "picture/RasterDecoders.h"

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

bool HasPNGSignature(const MemoryStream& G) { return G.Size() >= 4 && G.View().substr(1, 3) == "PNG"; }

std::string_view Remaining(const MemoryStream& stream) {
  const std::string_view all = stream.View();
  return stream.Position() < all.size() ? all.substr(stream.Position()) : std::string_view();
}

// Two hex digits per byte value, in the order the text shows them.
constexpr std::array<char, 512> kHexPairs = [] {
  constexpr char digits[] = "0123456789abcdef";
  std::array<char, 512> pairs{};
  for (size_t byte = 0; byte < 256; ++byte) {
    pairs[2 * byte] = digits[byte >> 4];
    pairs[2 * byte + 1] = digits[byte & 0x0F];
  }
  return pairs;
}();

// Cuts a run of bytes handed over in pieces into hex lines of n bytes each
// (the last one shorter), as if the pieces were one block: a line may take
// the end of one piece and the start of the next. Each line's text is
// written straight into its string, sized once.
class HexLineWriter {
 public:
  // Makes room in lines for the lines of total bytes and extra lines after them.
  HexLineWriter(StringList& lines, size_t n, size_t total, int extra) : lines_(lines), n_(n) {
    lines.Reserve(lines.Count() + static_cast<int>((total + n - 1) / n) + extra);
  }

  void Add(std::string_view piece) {
    if (piece.empty()) return;  // its data may be null, which memcpy must not see
    const auto* bytes = reinterpret_cast<const uint8_t*>(piece.data());
    size_t count = piece.size();
    if (pending_count_ > 0) {
      const size_t take = std::min(n_ - pending_count_, count);
      std::memcpy(pending_ + pending_count_, bytes, take);
      pending_count_ += take;
      bytes += take;
      count -= take;
      if (pending_count_ < n_) return;
      AddLine(pending_, n_);
      pending_count_ = 0;
    }
    for (; count >= n_; bytes += n_, count -= n_) AddLine(bytes, n_);
    std::memcpy(pending_, bytes, count);
    pending_count_ = count;
  }

  // Adds the short last line, if any.
  void Finish() {
    if (pending_count_ > 0) AddLine(pending_, pending_count_);
    pending_count_ = 0;
  }

 private:
  void AddLine(const uint8_t* bytes, size_t count) {
    std::string line(2 * count, '\0');
    char* out = line.data();
    for (size_t i = 0; i < count; ++i) std::memcpy(out + 2 * i, &kHexPairs[2 * size_t{bytes[i]}], 2);
    lines_.Add(std::move(line));
  }

  StringList& lines_;
  const size_t n_;
  uint8_t pending_[kMaxHexBytesPerLine];
  size_t pending_count_ = 0;
};

// Appends the group of a metafile picture: data holds the whole placeable metafile.
void AppendGroup(MemoryStream& data, const MetafileSize& size, StringList& lines) {
  lines.Add(HeaderLine(size.width, size.height));
  data.SetPosition(kPlaceableHeaderSize);
  const std::string_view bytes = Remaining(data);
  HexLineWriter hex(lines, kHexBytesPerLine, bytes.size(), 1);
  hex.Add(bytes);
  hex.Finish();
  lines.Add("}\r\n");
}

// Appends the group of a raster picture. Its metafile is never assembled:
// the hex lines are made from the head, the bitmap's own rows and the end
// record in turn, as WritePlaceableMetafile would lay them out.
void AppendRasterGroup(const Bitmap24& bitmap, StringList& lines) {
  const std::string placeable = PlaceableMetafileHead(bitmap);
  const std::string_view head = std::string_view(placeable).substr(kPlaceableHeaderSize);
  lines.Add(HeaderLine(bitmap.width, bitmap.height));
  HexLineWriter hex(lines, kHexBytesPerLine, head.size() + bitmap.pixels.size() + kMetafileTail.size(), 1);
  hex.Add(head);
  hex.Add(std::string_view(reinterpret_cast<const char*>(bitmap.pixels.data()), bitmap.pixels.size()));
  hex.Add(kMetafileTail);
  hex.Finish();
  lines.Add("}\r\n");
}

// ".wmf" and ".wmz": any failure means the picture is skipped.
void AppendMetafile(MemoryStream& G, StringList& lines, bool compressed) {
  std::optional<MemoryStream> inflated;
  std::optional<MetafileSize> size;
  try {
    if (compressed) {
      inflated.emplace();
      GunzipToStream(G, *inflated);
    }
    size = ReadPlaceableMetafile((inflated ? *inflated : G).View());
    if (!size) return;
  } catch (const std::exception&) {
    return;
  }
  AppendGroup(inflated ? *inflated : G, *size, lines);
}

}  // namespace

void PictureToRTF(MemoryStream& G, StringList& lines, const std::string& file_name) {
  const std::string ext = LowerCase(ExtractFileExt(file_name));
  Bitmap24 bitmap;
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
  AppendRasterGroup(bitmap, lines);
}

void HexLines(const MemoryStream* S, StringList* lines, int n) {
  if (S == nullptr || lines == nullptr || n < 1 || n > kMaxHexBytesPerLine) return;
  const std::string_view bytes = Remaining(*S);
  HexLineWriter hex(*lines, static_cast<size_t>(n), bytes.size(), 0);
  hex.Add(bytes);
  hex.Finish();
}

}  // namespace qil
