#include "modules/WorksheetGenerator.h"

#include <mutex>
#include <unordered_set>

#include "base/Convert.h"
#include "base/Exceptions.h"
#include "base/StringList.h"
#include "mathdb/MathDatabase.h"
#include "modules/PageContext.h"
#include "platform/Platform.h"

namespace qil {

namespace {

// The source shared by every generation of the process, and its lock.
std::mutex g_random_lock;
WorksheetRandom g_random;

// The drawing of one request: the list being rebuilt and, beside it, the
// positions it already holds.
class WorksheetDrawing {
 public:
  WorksheetDrawing(StringList& worksheet, Platform& clock) : worksheet_(worksheet), clock_(clock) {}

  // Draws n distinct positions of the range [first, first + count) that are
  // not drawn yet and appends them in the order drawn.
  void DrawGroup(int32_t first, int32_t count, int32_t n) {
    const int32_t available = count - DrawnWithin(first, count);
    if (n > available) throw PageError(GenerationErrorMessage(n, available));
    g_random.Reseed(clock_.UtcMillisecondsOfDay());
    for (int32_t i = 0; i < n; ++i) {
      int32_t position;
      do {
        position = first + static_cast<int32_t>(g_random.Below(static_cast<uint32_t>(count)));
      } while (drawn_.contains(position));
      drawn_.insert(position);
      worksheet_.Add(IntToStr(position));
    }
  }

 private:
  // How many drawn positions lie in [first, first + count).
  int32_t DrawnWithin(int32_t first, int32_t count) const {
    const int64_t end = int64_t{first} + count;
    int32_t within = 0;
    for (int32_t position : drawn_) {
      if (position >= first && position < end) ++within;
    }
    return within;
  }

  StringList& worksheet_;
  Platform& clock_;
  std::unordered_set<int32_t> drawn_;
};

// Orders the entries by position through their six-digit forms, as the
// worksheet has always been ordered: a text sort of zero-padded numbers.
void SortByPosition(StringList& worksheet) {
  for (int i = 0; i < worksheet.Count(); ++i) {
    worksheet.Put(i, FormatZeroPadded("%.6d", StrToInt(worksheet[i])));
  }
  worksheet.Sort();
  for (int i = 0; i < worksheet.Count(); ++i) {
    worksheet.Put(i, IntToStr(StrToInt(worksheet[i])));
  }
}

}  // namespace

uint32_t WorksheetRandom::Below(uint32_t range) {
  seed_ = seed_ * kMultiplier + 1u;
  return static_cast<uint32_t>((uint64_t{range} * seed_) >> 32);
}

std::vector<std::string> WorksheetGroupKeys(const MathDatabase& database) {
  const StringList& endpoints = database.Endpoints();
  std::vector<std::string> keys;
  keys.reserve(static_cast<size_t>(endpoints.Count()) * 4);
  for (int i = 0; i < endpoints.Count(); ++i) {
    const std::string endpoint = endpoints.Name(i);
    for (char level = '1'; level <= '4'; ++level) keys.push_back(endpoint + level);
  }
  return keys;
}

std::string GenerationErrorMessage(int64_t requested, int64_t available) {
  return "Impossible value for random generator: generate " + IntToStr(requested) + " out of " +
         IntToStr(available);
}

void GenerateWorksheet(const StringList& params, const MathDatabase& database, Platform& clock,
                       StringList& worksheet) {
  StringList previous;
  previous.Assign(worksheet);
  worksheet.Clear();
  std::lock_guard<std::mutex> lock(g_random_lock);
  WorksheetDrawing drawing(worksheet, clock);
  for (const std::string& key : WorksheetGroupKeys(database)) {
    const int32_t n = StrToIntDef(params.Value("T" + key), 0);
    if (n <= 0) continue;
    const int32_t count = database.CountPrefix(key);
    if (n > count) throw PageError(GenerationErrorMessage(n, count));
    const int32_t first = database.FindNthProblem(key, 1).value_or(0);  // found: count >= n > 0
    drawing.DrawGroup(first, count, n);
  }
  if (worksheet.Empty()) {
    worksheet.Assign(previous);
    return;
  }
  SortByPosition(worksheet);
}

}  // namespace qil
