// The math database of the edition this system ships.
//
// It loads like TMathDBManager and then folds level 4 into level 3: every
// record coded "CCC4" reads "CCC3" afterwards. Counts are left alone, so the
// endpoint totals stay the same; only level menus and labels change. Thread
// safety and ownership as for TMathDBManager.
#pragma once

#include "mathdb/MathDB.h"

namespace qil {

class TZorbikMathDB : public TMathDBManager {
 public:
  void Load(TCDArchiver& archive) override;
};

}  // namespace qil
