// A problem bundle: one problem's files (its pages and pictures) packed into
// a single block of the archive's data region.
//
// Block layout, all integers 32-bit little-endian:
//   L                        byte length of the name text
//   name text (L bytes)      lines separated by CR LF, LF or CR
//   8 bytes per line from the third line on: data offset (from the start of
//                            the block) and data size of that line's file
// The first two lines are header lines that carry no data; every later line
// is a file name. File names are looked up without regard to letter case.
//
// ProblemBundle::Parse checks every length and range against the block before
// it uses it and raises DatabaseError naming the fault when the block is
// damaged; it never reads outside the block. A parsed bundle is immutable and
// safe to read from any number of threads. BuildBundle is the writer's side,
// used when a problem bank is packed.
#pragma once

#include <optional>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/StringList.h"

namespace qil {

class ProblemBundle {
 public:
  // Splits a block into lines and file ranges; raises DatabaseError when
  // the block is damaged (too short, a length or range outside the block,
  // fewer than two lines). The bundle keeps its own copy of the block.
  static ProblemBundle Parse(std::string block);

  // Every line of the name text, the two header lines included.
  const StringList& Lines() const { return lines_; }

  // Files are the lines from the third on: index 0 is line 2.
  int FileCount() const { return static_cast<int>(ranges_.size()); }
  const std::string& FileName(int file) const { return lines_[file + 2]; }
  std::string_view FileData(int file) const;

  // Index of the file named name (letter case ignored), or -1.
  int IndexOfFile(std::string_view name) const;
  // The data of the file named name; nullopt when there is none.
  std::optional<std::string_view> FindFile(std::string_view name) const;

 private:
  struct Range {
    uint32_t offset;
    uint32_t size;
  };

  ProblemBundle() = default;

  std::string block_;
  StringList lines_;
  std::vector<Range> ranges_;
};

// One file of a bundle being built: its name and its bytes.
using BundleFile = std::pair<std::string, std::string>;

// Lays out a bundle block from two header lines and the files in the given
// order. Names must not contain CR, LF or NUL and header lines must be
// non-empty; raises qil::Exception otherwise, or when the block would exceed
// the 32-bit range of its offsets.
std::string BuildBundle(std::string_view header1, std::string_view header2,
                        const std::vector<BundleFile>& files);

}  // namespace qil
