// The math database of the edition this system ships.
//
// It loads like MathDatabase and then folds level 4 into level 3: every
// record coded "CCC4" reads "CCC3" afterwards. Counts are left alone, so the
// endpoint totals stay the same; only level menus and labels change. Thread
// safety and ownership as for MathDatabase.
#pragma once

#include "mathdb/MathDatabase.h"

namespace qil {

class LevelFoldingDatabase : public MathDatabase {
 public:
  void Load(ArchiveReader& archive) override;
};

}  // namespace qil
