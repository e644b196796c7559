#include "mathdb/Bundle.h"

#include <limits>

#include "base/Convert.h"
#include "base/LittleEndian.h"
#include "base/Text.h"
#include "mathdb/DatabaseError.h"

namespace qil {

namespace {

[[noreturn]] void Damaged(const std::string& why) {
  throw DatabaseError("Damaged problem bundle: " + why + ".");
}

}  // namespace

ProblemBundle ProblemBundle::Parse(std::string block) {
  ProblemBundle bundle;
  bundle.block_ = std::move(block);
  const std::string& b = bundle.block_;
  const uint64_t size = b.size();

  if (size < 4) Damaged("the block is shorter than its length field");
  const uint64_t name_length = LoadU32LE(b.data());
  if (name_length > size - 4) {
    Damaged("the name text (" + IntToStr(static_cast<int64_t>(name_length)) +
            " bytes) runs past the end of the block (" + IntToStr(static_cast<int64_t>(size)) + " bytes)");
  }
  bundle.lines_.SetText(std::string_view(b).substr(4, name_length));
  const int line_count = bundle.lines_.Count();
  if (line_count < 2) Damaged("the name text holds fewer than two lines");

  const uint64_t table = 4 + name_length;
  const uint64_t files = static_cast<uint64_t>(line_count - 2);
  if (files * 8 > size - table) Damaged("the table of data ranges runs past the end of the block");

  bundle.ranges_.reserve(files);
  for (uint64_t i = 0; i < files; ++i) {
    const char* entry = b.data() + table + i * 8;
    const Range range{LoadU32LE(entry), LoadU32LE(entry + 4)};
    if (uint64_t{range.offset} + range.size > size) {
      Damaged("the data of \"" + bundle.lines_[static_cast<int>(i) + 2] +
              "\" lies outside the block");
    }
    bundle.ranges_.push_back(range);
  }
  return bundle;
}

std::string_view ProblemBundle::FileData(int file) const {
  const Range& range = ranges_.at(static_cast<size_t>(file));
  return std::string_view(block_).substr(range.offset, range.size);
}

int ProblemBundle::IndexOfFile(std::string_view name) const {
  for (int file = 0; file < FileCount(); ++file) {
    if (SameText(FileName(file), name)) return file;
  }
  return -1;
}

std::optional<std::string_view> ProblemBundle::FindFile(std::string_view name) const {
  const int file = IndexOfFile(name);
  if (file < 0) return std::nullopt;
  return FileData(file);
}

namespace {

void CheckLine(std::string_view line, const char* what) {
  if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    throw DatabaseError(std::string("Bad ") + what + " \"" + std::string(line) +
                    "\": a bundle line must not hold CR, LF or NUL.");
  }
}

}  // namespace

std::string BuildBundle(std::string_view header1, std::string_view header2,
                        const std::vector<BundleFile>& files) {
  if (header1.empty() || header2.empty()) throw DatabaseError("A bundle's header lines must not be empty.");
  CheckLine(header1, "bundle header");
  CheckLine(header2, "bundle header");

  std::string names = std::string(header1) + "\r\n" + std::string(header2);
  uint64_t data_size = 0;
  for (const BundleFile& file : files) {
    if (file.first.empty()) throw DatabaseError("A bundle file needs a name.");
    CheckLine(file.first, "bundle file name");
    names += "\r\n" + file.first;
    data_size += file.second.size();
  }

  const uint64_t data_start = 4 + names.size() + 8 * uint64_t{files.size()};
  if (data_start + data_size > std::numeric_limits<uint32_t>::max()) {
    throw DatabaseError("A problem bundle may not exceed 4 GB.");
  }

  std::string block;
  block.reserve(data_start + data_size);
  AppendLE32(block, static_cast<uint32_t>(names.size()));
  block += names;
  uint64_t offset = data_start;
  for (const BundleFile& file : files) {
    AppendLE32(block, static_cast<uint32_t>(offset));
    AppendLE32(block, static_cast<uint32_t>(file.second.size()));
    offset += file.second.size();
  }
  for (const BundleFile& file : files) block += file.second;
  return block;
}

}  // namespace qil
