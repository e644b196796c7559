#include "picture/RasterDecoders.h"

#include <png.h>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/Convert.h"
#include "base/LittleEndian.h"

namespace qil {

void CheckPictureSize(int64_t new_width, int64_t new_height) {
  if (new_width <= 0 || new_height <= 0) {
    throw InvalidPicture("Picture has no pixels (" + IntToStr(new_width) + " x " + IntToStr(new_height) + ")");
  }
  if (new_width > kMaxPictureSide || new_height > kMaxPictureSide || new_width * new_height > kMaxPicturePixels) {
    throw InvalidPicture("Picture of " + IntToStr(new_width) + " x " + IntToStr(new_height) +
                          " pixels is too large (at most " + IntToStr(kMaxPictureSide) + " pixels a side and " +
                          IntToStr(kMaxPicturePixels) + " pixels in all)");
  }
}

void Bitmap24::Allocate(int64_t new_width, int64_t new_height) {
  CheckPictureSize(new_width, new_height);
  width = static_cast<int32_t>(new_width);
  height = static_cast<int32_t>(new_height);
  pixels.assign(Stride() * static_cast<size_t>(height), 0);
}

// ---------------------------------------------------------------------------
// BMP

namespace {

constexpr size_t kBmpFileHeaderSize = 14;
constexpr size_t kBmpCoreHeaderSize = 12;
constexpr size_t kBmpInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

[[noreturn]] void BadBmp(const std::string& why) { throw InvalidPicture("Invalid BMP picture: " + why); }

// Little-endian reads at a checked offset of the file.
class BmpReader {
 public:
  explicit BmpReader(std::string_view file) : file_(file) {}
  bool Has(uint64_t offset, uint64_t count) const { return offset <= file_.size() && count <= file_.size() - offset; }
  uint8_t U8(size_t offset) const { return ReadLE8(file_, offset); }
  uint16_t U16(size_t offset) const { return ReadLE16(file_, offset); }
  uint32_t U32(size_t offset) const { return ReadLE32(file_, offset); }
  const uint8_t* At(size_t offset) const { return reinterpret_cast<const uint8_t*>(file_.data()) + offset; }

 private:
  std::string_view file_;
};

struct BmpLayout {
  int64_t width = 0;
  int64_t height = 0;  // negative: rows stored from the top
  uint32_t bits = 0;
  uint32_t compression = kBiRgb;
  size_t palette_offset = 0;
  size_t palette_entry_size = 4;
  size_t palette_count = 0;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue for bit fields
};

BmpLayout ReadBmpHeaders(const BmpReader& in) {
  if (!in.Has(0, kBmpFileHeaderSize + 4) || in.U8(0) != 'B' || in.U8(1) != 'M') BadBmp("no bitmap signature");
  const uint32_t header_size = in.U32(kBmpFileHeaderSize);
  BmpLayout layout;
  size_t header_end = kBmpFileHeaderSize + header_size;
  const size_t h = kBmpFileHeaderSize;
  if (header_size == kBmpCoreHeaderSize) {
    if (!in.Has(h, kBmpCoreHeaderSize)) BadBmp("truncated header");
    layout.width = in.U16(h + 4);
    layout.height = in.U16(h + 6);
    layout.bits = in.U16(h + 10);
    layout.palette_entry_size = 3;
  } else if (header_size >= kBmpInfoHeaderSize && header_size <= 1024) {
    if (!in.Has(h, header_size)) BadBmp("truncated header");
    layout.width = static_cast<int32_t>(in.U32(h + 4));
    layout.height = static_cast<int32_t>(in.U32(h + 8));
    layout.bits = in.U16(h + 14);
    layout.compression = in.U32(h + 16);
    layout.palette_count = in.U32(h + 32);
    if (layout.compression == kBiBitfields) {
      // The masks follow a 40-byte header; longer headers hold them inside.
      const size_t masks_at = h + kBmpInfoHeaderSize;
      if (header_size == kBmpInfoHeaderSize) header_end += 12;
      if (!in.Has(masks_at, 12)) BadBmp("truncated bit fields");
      for (int i = 0; i < 3; ++i) layout.masks[i] = in.U32(masks_at + 4 * i);
    }
  } else {
    BadBmp("unsupported header size " + IntToStr(header_size));
  }
  if (layout.bits != 1 && layout.bits != 4 && layout.bits != 8 && layout.bits != 24 && layout.bits != 32) {
    BadBmp(IntToStr(layout.bits) + " bits per pixel are not supported");
  }
  if (layout.compression == kBiBitfields) {
    if (layout.bits != 32 || layout.masks[0] != 0xFF0000 || layout.masks[1] != 0xFF00 || layout.masks[2] != 0xFF) {
      BadBmp("only the standard 32-bit bit fields are supported");
    }
  } else if (layout.compression != kBiRgb) {
    BadBmp("compression " + IntToStr(layout.compression) + " is not supported");
  }
  if (layout.bits <= 8) {
    const size_t full = size_t{1} << layout.bits;
    if (layout.palette_count == 0 || layout.palette_count > full) layout.palette_count = full;
    layout.palette_offset = header_end;
    if (!in.Has(header_end, layout.palette_count * layout.palette_entry_size)) BadBmp("truncated colour table");
  } else {
    layout.palette_count = 0;  // a colour table of a 24- or 32-bit picture is not used
  }
  return layout;
}

}  // namespace

Bitmap24 DecodeBMP(std::string_view file) {
  const BmpReader in(file);
  const BmpLayout layout = ReadBmpHeaders(in);
  const bool top_down = layout.height < 0;
  const int64_t rows = top_down ? -layout.height : layout.height;
  if (layout.width <= 0 || rows <= 0) {
    BadBmp("size " + IntToStr(layout.width) + " x " + IntToStr(layout.height));
  }
  CheckPictureSize(layout.width, rows);  // before the data length is computed from it
  const uint64_t source_stride = (static_cast<uint64_t>(layout.width) * layout.bits + 31) / 32 * 4;
  const uint32_t data_offset = in.U32(10);
  if (!in.Has(data_offset, source_stride * static_cast<uint64_t>(rows))) BadBmp("truncated pixel data");

  uint8_t palette[256][3] = {};
  for (size_t i = 0; i < layout.palette_count; ++i) {
    std::memcpy(palette[i], in.At(layout.palette_offset + i * layout.palette_entry_size), 3);
  }

  Bitmap24 bitmap;
  bitmap.Allocate(layout.width, rows);
  const size_t width = static_cast<size_t>(layout.width);
  for (int64_t i = 0; i < rows; ++i) {
    const uint8_t* src = in.At(data_offset + static_cast<size_t>(i * source_stride));
    uint8_t* dst = bitmap.RowFromTop(static_cast<int32_t>(top_down ? i : rows - 1 - i));
    switch (layout.bits) {
      case 24:
        std::memcpy(dst, src, width * 3);
        break;
      case 32:
        for (size_t x = 0; x < width; ++x) std::memcpy(dst + 3 * x, src + 4 * x, 3);
        break;
      default: {  // 1, 4 or 8 bits: palette indexes, leftmost pixel in the high bits
        const unsigned per_byte = 8 / layout.bits;
        const unsigned mask = (1u << layout.bits) - 1;
        for (size_t x = 0; x < width; ++x) {
          const unsigned shift = 8 - layout.bits * (1 + x % per_byte);
          std::memcpy(dst + 3 * x, palette[(src[x / per_byte] >> shift) & mask], 3);
        }
      }
    }
  }
  return bitmap;
}

// ---------------------------------------------------------------------------
// PNG

Bitmap24 DecodePNG(std::string_view file) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  struct ImageGuard {
    png_image* image;
    ~ImageGuard() { png_image_free(image); }
  } guard{&image};

  if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
    throw InvalidPicture(std::string("Invalid PNG picture: ") + image.message);
  }
  image.format = PNG_FORMAT_BGR;
  Bitmap24 bitmap;
  bitmap.Allocate(image.width, image.height);
  const png_color white = {255, 255, 255};
  // A negative stride asks for the bottom row first, as the bitmap keeps them.
  const auto stride = -static_cast<png_int_32>(bitmap.Stride());
  if (!png_image_finish_read(&image, &white, bitmap.pixels.data(), stride, nullptr)) {
    throw InvalidPicture(std::string("Invalid PNG picture: ") + image.message);
  }
  return bitmap;
}

// ---------------------------------------------------------------------------
// JPEG
//
// libjpeg reports errors through a callback that must not return. Ours jumps
// back with longjmp into the two small functions below, which hold nothing
// with a destructor, so no C++ object is skipped by the jump.

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;  // first, so the library's pointer is also ours
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegFail(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  errors->manager.format_message(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings are ignored except those of data that ends inside the picture:
// the end of the file, or a marker inside a scan. libjpeg would go on with
// grey pixels; for us the picture is truncated.
void JpegMessage(j_common_ptr info, int level) {
  const int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) JpegFail(info);
}

// Creates the decompressor and reads the header; false (with the message in
// errors) when libjpeg failed. CMYK and YCCK pictures are read as CMYK,
// which libjpeg converts to nothing else; all others as blue-green-red.
bool JpegReadHeader(jpeg_decompress_struct& info, JpegErrors& errors, const unsigned char* data, unsigned long size) {
  if (setjmp(errors.jump)) return false;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  jpeg_read_header(&info, TRUE);
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&info);
  return true;
}

// One row of CMYK pixels as blue-green-red. Pictures with an Adobe marker
// store the four values inverted (0 is full ink), as their makers write them.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int i = 0; i < 3; ++i) {
      const unsigned ink = inverted ? cmyk[i] : 255u - cmyk[i];
      bgr[2 - i] = static_cast<uint8_t>(ink * k / 255);
    }
  }
}

// Decodes every row into the bitmap's memory, bottom row first; CMYK rows go
// through cmyk_row (room for one row) when it is not null.
bool JpegReadPixels(jpeg_decompress_struct& info, JpegErrors& errors, uint8_t* pixels, size_t stride, JDIMENSION height,
                    uint8_t* cmyk_row) {
  if (setjmp(errors.jump)) return false;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height && info.output_scanline < height) {
    uint8_t* target = pixels + (height - 1 - info.output_scanline) * stride;
    JSAMPROW row = cmyk_row ? cmyk_row : target;
    jpeg_read_scanlines(&info, &row, 1);
    if (cmyk_row) CmykToBgr(cmyk_row, target, info.output_width, info.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

Bitmap24 DecodeJPEG(std::string_view file) {
  // Zeroed, so that destroying it is harmless even when creating it failed.
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFail;
  errors.manager.emit_message = JpegMessage;
  errors.message[0] = '\0';
  struct InfoGuard {
    jpeg_decompress_struct* info;
    ~InfoGuard() { jpeg_destroy_decompress(info); }
  } guard{&info};

  const auto* data = reinterpret_cast<const unsigned char*>(file.data());
  if (!JpegReadHeader(info, errors, data, static_cast<unsigned long>(file.size()))) {
    throw InvalidPicture(std::string("Invalid JPEG picture: ") + errors.message);
  }
  Bitmap24 bitmap;
  bitmap.Allocate(info.output_width, info.output_height);
  std::vector<uint8_t> cmyk_row(info.out_color_space == JCS_CMYK ? 4 * size_t{info.output_width} : 0);
  if (!JpegReadPixels(info, errors, bitmap.pixels.data(), bitmap.Stride(), info.output_height,
                      cmyk_row.empty() ? nullptr : cmyk_row.data())) {
    throw InvalidPicture(std::string("Invalid JPEG picture: ") + errors.message);
  }
  return bitmap;
}

}  // namespace qil
