#include "mathdb/ZorbikMathDB.h"

namespace qil {

void TZorbikMathDB::Load(TCDArchiver& archive) {
  TMathDBManager::Load(archive);
  for (TMathIndexRecord& record : MutableIndex()) {
    if (record.Code[3] == '4') record.Code[3] = '3';
  }
}

}  // namespace qil
