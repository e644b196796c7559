#include "mathdb/LevelFoldingDatabase.h"

namespace qil {

void LevelFoldingDatabase::Load(ArchiveReader& archive) {
  MathDatabase::Load(archive);
  for (IndexRecord& record : MutableIndex()) {
    if (record.Code[3] == '4') record.Code[3] = '3';
  }
}

}  // namespace qil
