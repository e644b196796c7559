// qil_fuzz_seeds: seeds that need the archive's insides, for fuzz/make-seeds.sh.
//
//   qil_fuzz_seeds plain-archive ARCHIVE OUT_FILE
//       the archive with its header, name block and record block deciphered:
//       the plain view that archive_fuzz takes
//   qil_fuzz_seeds bundles ARCHIVE OUT_DIR
//       bundle blocks for bundle_fuzz: the smallest bundle, and the smallest
//       one holding a picture of each format, pictures cut to a few bytes
//   qil_fuzz_seeds mathdb ARCHIVE OUT_DIR
//       small databases for mathdb_fuzz (its input format: the plain data
//       region, then the list files behind separator lines), packed from a
//       few problems of the archive by the bank builder; their pictures are
//       cut to a few bytes, as the database never decodes them
//   qil_fuzz_seeds pictures OUT_DIR
//       small pictures for picture_fuzz (its input: a byte choosing the file
//       name's extension, then the file): a BMP of every layout the reader
//       takes, and a metafile plain and compressed; the disc's own pictures
//       are large, so mutations of these reach the headers far more often
//
// Exit code 0 on success, 1 with a message on stderr otherwise.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "archive/ArchiveFormat.h"
#include "archive/Blowfish.h"
#include "archive/ArchiveReader.h"
#include "base/Exceptions.h"
#include "base/LittleEndian.h"
#include "base/MemoryStream.h"
#include "base/Text.h"
#include "mathdb/BankBuilder.h"
#include "mathdb/Bundle.h"
#include "mathdb/MathDatabase.h"
#include "picture/Bitmap24.h"
#include "picture/Metafile.h"

#include <zlib.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw qil::Exception("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw qil::Exception("cannot write " + path.string());
}

// Deciphers [at, at + RoundUp8(length)) of bytes in place, whole blocks inside bytes only.
void Decipher(std::string& bytes, uint64_t at, uint64_t length, std::string_view key) {
  if (at >= bytes.size()) return;
  const uint64_t end = std::min<uint64_t>(at + qil::archive::RoundUp8(length), bytes.size());
  qil::Blowfish cipher;
  cipher.SetKey(key);
  auto* start = reinterpret_cast<uint8_t*>(bytes.data() + at);
  cipher.DecipherBlocks(start, start, (end - at) / 8);
}

void PlainArchive(const fs::path& in, const fs::path& out) {
  std::string bytes = ReadAll(in);
  if (bytes.size() < qil::archive::kHeaderSize) throw qil::Exception("not an archive: " + in.string());
  Decipher(bytes, 0, 128, qil::archive::kHeaderKey);
  const qil::archive::ArchiveHeader header =
      qil::archive::ArchiveHeader::Decode(reinterpret_cast<const uint8_t*>(bytes.data()));
  const uint64_t records_at = uint64_t{header.names_offset} + qil::archive::RoundUp8(header.names_length);
  Decipher(bytes, header.names_offset, header.names_length, qil::archive::kNamesKey);
  Decipher(bytes, records_at, uint64_t{header.file_count} * 8, qil::archive::kRecordsKey);
  WriteAll(out, bytes);
}

// One problem of the archive's database: where it stands and its bundle.
struct Problem {
  int32_t position = 0;
  std::string block;
  std::string code;    // from the bundle's first line, "A011/0001"
  std::string number;
};

std::vector<Problem> ReadProblems(qil::ArchiveReader& archive) {
  qil::MathDatabase db;
  db.Load(archive);
  std::vector<Problem> problems;
  qil::MemoryStream stream;
  for (int32_t position = 0; position < db.RecordCount(); ++position) {
    const qil::IndexRecord& record = db.Index()[static_cast<size_t>(position)];
    archive.ReadBlock(record.BlockOffset, record.BlockSize, "", stream);
    Problem problem;
    problem.position = position;
    problem.block = std::string(stream.View());
    const qil::ProblemBundle bundle = qil::ProblemBundle::Parse(problem.block);
    const std::string& first = bundle.Lines()[0];
    problem.code = first.substr(0, first.find('/'));
    problem.number = first.substr(first.find('/') + 1);
    problems.push_back(std::move(problem));
  }
  return problems;
}

bool HasFormat(const Problem& problem, std::string_view format) {
  const qil::ProblemBundle bundle = qil::ProblemBundle::Parse(problem.block);
  for (int file = 0; file < bundle.FileCount(); ++file) {
    if (qil::EndsText(format, bundle.FileName(file))) return true;
  }
  return false;
}

void Bundles(qil::ArchiveReader& archive, const fs::path& out_dir) {
  std::vector<Problem> problems = ReadProblems(archive);
  std::sort(problems.begin(), problems.end(),
            [](const Problem& a, const Problem& b) { return a.block.size() < b.block.size(); });
  std::map<int32_t, const Problem*> chosen;
  if (!problems.empty()) chosen[problems.front().position] = &problems.front();
  for (const char* format : {".png", ".jpg", ".bmp", ".wmf", ".wmz"}) {
    for (const Problem& problem : problems) {
      if (HasFormat(problem, format)) {
        chosen[problem.position] = &problem;
        break;
      }
    }
  }
  for (const auto& [position, problem] : chosen) {
    // Laid out again with the pictures cut to 64 bytes: the parser reads
    // names and ranges, and small seeds keep the fuzzer fast.
    const qil::ProblemBundle bundle = qil::ProblemBundle::Parse(problem->block);
    std::vector<qil::BundleFile> files;
    for (int file = 0; file < bundle.FileCount(); ++file) {
      std::string data(bundle.FileData(file));
      if (!qil::EndsText(".htm", bundle.FileName(file))) data.resize(std::min<size_t>(data.size(), 64));
      files.emplace_back(bundle.FileName(file), std::move(data));
    }
    WriteAll(out_dir / ("bundle_" + qil::ProblemID(position) + ".bin"),
             qil::BuildBundle(bundle.Lines()[0], bundle.Lines()[1], files));
  }
}

// Writes the problems (pictures cut to 16 bytes) into the bank folder, which
// holds db/endpoints.txt already, and packs its data region.
std::string SmallRegion(const std::vector<const Problem*>& problems, const fs::path& folder) {
  fs::remove_all(folder / qil::kProblemsFolder);
  for (const Problem* problem : problems) {
    const qil::ProblemBundle bundle = qil::ProblemBundle::Parse(problem->block);
    const fs::path dir = folder / qil::kProblemsFolder / problem->code / problem->number;
    for (int file = 0; file < bundle.FileCount(); ++file) {
      std::string data(bundle.FileData(file));
      if (!qil::EndsText(".htm", bundle.FileName(file))) data.resize(std::min<size_t>(data.size(), 16));
      WriteAll(dir / bundle.FileName(file), data);
    }
  }
  return qil::BuildProblemBank(folder);
}

std::string Entry(qil::ArchiveReader& archive, const std::string& name) {
  qil::MemoryStream stream;
  archive.ReadFile(name, stream);
  return std::string(stream.View());
}

void MathDb(qil::ArchiveReader& archive, const fs::path& out_dir) {
  const std::vector<Problem> problems = ReadProblems(archive);
  const std::string endpoints = Entry(archive, "db/endpoints.txt");
  const std::string menu = Entry(archive, "db/menuid.txt");
  const fs::path folder = out_dir / ".bank";
  WriteAll(folder / "db" / "endpoints.txt", endpoints);

  // The smallest problem of every code (endpoint and level) of the first
  // endpoints, and of the last one.
  std::map<std::string, const Problem*> smallest;
  for (const Problem& problem : problems) {
    const Problem*& best = smallest[problem.code];
    if (best == nullptr || problem.block.size() < best->block.size()) best = &problem;
  }
  std::vector<const Problem*> some;
  std::vector<const Problem*> one;
  for (const auto& [code, problem] : smallest) {
    if (some.size() < 12 || code.compare(0, 3, problems.back().code, 0, 3) == 0) some.push_back(problem);
  }
  if (!some.empty()) one.push_back(some.front());

  const std::string separator = "\n@@list@@\n";
  auto input = [&](const std::string& region, const std::string& mapping) {
    std::string text = region + separator + endpoints + separator + menu;
    if (!mapping.empty()) text += separator + mapping;
    return text;
  };
  const std::string region = SmallRegion(some, folder);
  WriteAll(out_dir / "db_small.bin", input(region, ""));
  WriteAll(out_dir / "db_mapped.bin",
           input(region, some.size() > 1 ? some[0]->code + "=" + some[1]->code + "\r\n" : ""));
  WriteAll(out_dir / "db_one.bin", input(SmallRegion(one, folder), ""));
  fs::remove_all(folder);
}

// ---------------------------------------------------------------- pictures

// The bytes picture_fuzz reads as a choice of extension: ".bmp", ".png",
// ".jpg", ".wmf", ".wmz" in its table.
enum PictureChoice : char { kBmp = 0, kWmf = 3, kWmz = 4 };

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}

// A width x height BMP with bits per pixel, a small pattern of colours.
// core: the 12-byte header; top_down: rows stored from the top; fields: the
// 32-bit layout with the standard bit fields.
std::string MakeBmp(int32_t width, int32_t height, int bits, bool core, bool top_down, bool fields) {
  const uint32_t palette = bits <= 8 ? 1u << bits : 0;
  const uint32_t entry = core ? 3 : 4;
  const uint32_t header = core ? 12 : 40;
  const uint32_t masks = fields ? 12 : 0;
  const uint32_t stride = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4;
  const uint32_t data_at = 14 + header + masks + palette * entry;
  std::string out = "BM";
  Put32(out, data_at + stride * static_cast<uint32_t>(height));
  Put32(out, 0);
  Put32(out, data_at);
  Put32(out, header);
  if (core) {
    Put16(out, static_cast<uint32_t>(width));
    Put16(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
  } else {
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(top_down ? -height : height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, fields ? 3 : 0);
    Put32(out, stride * static_cast<uint32_t>(height));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
  }
  if (fields) {
    Put32(out, 0x00ff0000);
    Put32(out, 0x0000ff00);
    Put32(out, 0x000000ff);
  }
  for (uint32_t i = 0; i < palette; ++i) {
    out += static_cast<char>(i * 37);
    out += static_cast<char>(255 - i * 11);
    out += static_cast<char>(i * 5);
    if (!core) out += '\0';
  }
  for (int32_t y = 0; y < height; ++y) {
    std::string row(stride, '\0');
    for (uint32_t i = 0; i < stride; ++i) row[i] = static_cast<char>((y * 29 + i * 13) & 0xff);
    out += row;
  }
  return out;
}

std::string Gzip(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw qil::Exception("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, data.size()) + 32, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw qil::Exception("deflate failed");
  return out;
}

void Pictures(const fs::path& out_dir) {
  auto write = [&](const std::string& name, PictureChoice choice, const std::string& file) {
    WriteAll(out_dir / name, std::string(1, static_cast<char>(choice)) + file);
  };
  for (const int bits : {1, 4, 8, 24, 32}) {
    write("bmp" + std::to_string(bits) + ".bin", kBmp, MakeBmp(5, 3, bits, false, false, false));
  }
  write("bmp8_top_down.bin", kBmp, MakeBmp(4, 4, 8, false, true, false));
  write("bmp24_core.bin", kBmp, MakeBmp(3, 2, 24, true, false, false));
  write("bmp4_core.bin", kBmp, MakeBmp(7, 2, 4, true, false, false));
  write("bmp32_fields.bin", kBmp, MakeBmp(3, 3, 32, false, true, true));

  qil::Bitmap24 bitmap;
  bitmap.Allocate(6, 4);
  for (size_t i = 0; i < bitmap.pixels.size(); ++i) bitmap.pixels[i] = static_cast<uint8_t>(i * 7);
  qil::MemoryStream metafile;
  qil::WritePlaceableMetafile(bitmap, metafile);
  const std::string wmf(metafile.View());
  write("small.wmf.bin", kWmf, wmf);
  write("small.wmz.bin", kWmz, Gzip(wmf));
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 2 && args[0] == "pictures") {
      Pictures(args[1]);
      return 0;
    }
    if (args.size() == 3 && args[0] == "plain-archive") {
      PlainArchive(args[1], args[2]);
      return 0;
    }
    if (args.size() == 3 && (args[0] == "bundles" || args[0] == "mathdb")) {
      qil::ArchiveReader archive;
      archive.Open(args[1], "", true);
      if (args[0] == "bundles") {
        Bundles(archive, args[2]);
      } else {
        MathDb(archive, args[2]);
      }
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << "qil_fuzz_seeds: " << error.what() << std::endl;
    return 1;
  }
  std::cerr << "usage: qil_fuzz_seeds plain-archive ARCHIVE OUT_FILE\n"
               "       qil_fuzz_seeds bundles|mathdb ARCHIVE OUT_DIR\n"
               "       qil_fuzz_seeds pictures OUT_DIR"
            << std::endl;
  return 1;
}
