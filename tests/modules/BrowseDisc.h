// A small disc for the tests of the browsing pages: templates whose output is
// easy to read, and a problem bank laid out so that every page has cases that
// can go wrong. Positions of the bank (after the edition folds level 4 into 3):
//
//   A01  0..59     levels 1 (0..29) and 3 (30..59), 60 problems; problem 6
//                  (A011/7) has pictures: M_image1.gif twice in P.htm,
//                  M_image2.png in S.htm
//   A02  -         no problems
//   B01  60..69    level 2 (60..63) and level 4 (64..69, read as level 3)
//   C01  70..1169  1100 problems of level 1 without solutions, no title page
//                  in db/menuid.txt
//
// Templates lacking sections lie in broken/ under the same names.
#pragma once

#include <filesystem>
#include <string>

#include "common/TestFiles.h"

namespace qil::test {

class BrowseDisc {
 public:
  static constexpr int kRecordCount = 1170;

  // Writes the source folder under a fresh temporary folder (in memory where
  // the system offers /dev/shm: the bank has thousands of small files);
  // removed with the object.
  BrowseDisc();

  const std::filesystem::path& Root() const { return root_.Path(); }
  std::filesystem::path Source() const { return Root() / "src"; }

  // Packs the source in this process, as qilcd pack does; returns the archive's path.
  std::filesystem::path PackHere(const std::string& file_name = "math.dat") const;

  // The bytes of the picture M_image1.gif of position 6.
  static std::string PictureBytes();

 private:
  TempDir root_{TempPlace::kMemory};
};

}  // namespace qil::test
