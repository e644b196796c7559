// Encoders for the picture formats of the disc: PNG, JPEG, BMP, WMF and WMZ.
//
// PNG pictures are palette images: colours are reduced to 4 bits per channel
// and, when more than 256 remain, the most frequent 256 are kept and every
// other colour takes its nearest neighbour. Text pictures (grey on white)
// thus come out as 4-bit palette files. BMP is 24-bit, bottom-up. WMF is a
// placeable Windows metafile that draws the picture as a 24-bit bitmap; WMZ is
// the same gzip-compressed (sheets can instead be recorded as vector
// metafiles, WmfRecorder.h). The file formats are written by the encoders the
// picture tests share (content/pictures). Every encoder is deterministic:
// equal rasters give equal bytes. Pure functions; an error of a library ends
// the process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Render.h"

namespace qil::disc {

using Bytes = std::vector<uint8_t>;

enum class PictureFormat { kPng, kJpeg, kBmp, kWmf, kWmz };

// The file extension with its dot: ".png", ".jpg", ".bmp", ".wmf", ".wmz".
std::string Extension(PictureFormat format);

Bytes EncodePng(const Raster& raster);
Bytes EncodeJpeg(const Raster& raster, int quality = 92);
Bytes EncodeBmp(const Raster& raster);
Bytes EncodeWmf(const Raster& raster);
// A gzip member (RFC 1952) with the given file name in its header and time 0.
Bytes Gzip(const Bytes& data, const std::string& name);
Bytes Encode(const Raster& raster, PictureFormat format);

}  // namespace qil::disc
