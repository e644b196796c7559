#include "modules/WorksheetGenerator.h"

#include <algorithm>
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

// Orders positions as the worksheet has always been ordered: by their
// six-digit forms, compared as text.
void SortLikeWorksheet(std::vector<int32_t>& positions) {
  std::sort(positions.begin(), positions.end(), [](int32_t a, int32_t b) {
    return FormatZeroPadded("%.6d", a) < FormatZeroPadded("%.6d", b);
  });
}

// The drawing of one generation: every version's positions so far.
class VersionDrawing {
 public:
  explicit VersionDrawing(int versions) : versions_(static_cast<size_t>(versions)) {}

  // Draws, from the range [first, first + count) and one sequence seeded
  // with seed, n positions for each version in turn. A version never takes a
  // position twice; a later version takes only positions no version has
  // while the range still holds such positions. Version A's draws are those
  // of a single worksheet.
  void DrawGroup(int32_t first, int32_t count, int32_t n, uint32_t seed) {
    WorksheetRandom& random = g_random;
    random.Reseed(seed);
    for (size_t v = 0; v < versions_.size(); ++v) {
      Version& version = versions_[v];
      const int32_t available = count - Within(version.drawn, first, count);
      if (n > available) throw PageError(GenerationErrorMessage(n, available));
      for (int32_t i = 0; i < n; ++i) {
        const bool fresh_left = v > 0 && Within(any_, first, count) < count;
        int32_t position;
        do {
          position = first + static_cast<int32_t>(random.Below(static_cast<uint32_t>(count)));
        } while (version.drawn.contains(position) || (fresh_left && any_.contains(position)));
        if (v > 0 && !fresh_left) ++shared_;
        version.drawn.insert(position);
        version.order.push_back(position);
        any_.insert(position);
      }
    }
  }

  GeneratedVersions Result() && {
    GeneratedVersions result;
    result.shared = shared_;
    for (Version& version : versions_) {
      SortLikeWorksheet(version.order);
      result.versions.push_back(std::move(version.order));
    }
    return result;
  }

 private:
  struct Version {
    std::unordered_set<int32_t> drawn;
    std::vector<int32_t> order;
  };

  // How many positions of set lie in [first, first + count).
  static int32_t Within(const std::unordered_set<int32_t>& set, int32_t first, int32_t count) {
    const int64_t end = int64_t{first} + count;
    int32_t within = 0;
    for (int32_t position : set) {
      if (position >= first && position < end) ++within;
    }
    return within;
  }

  std::vector<Version> versions_;
  std::unordered_set<int32_t> any_;
  int shared_ = 0;
};

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

std::vector<std::pair<int, int32_t>> RequestedGroups(const StringList& params, const MathDatabase& database) {
  std::vector<std::pair<int, int32_t>> groups;
  const std::vector<std::string> keys = WorksheetGroupKeys(database);
  for (size_t i = 0; i < keys.size(); ++i) {
    const int32_t n = StrToIntDef(params.Value("T" + keys[i]), 0);
    if (n > 0) groups.emplace_back(static_cast<int>(i), n);
  }
  return groups;
}

GeneratedVersions GenerateVersions(const MathDatabase& database,
                                   const std::vector<std::pair<int, int32_t>>& groups, uint32_t seed,
                                   int versions) {
  const std::vector<std::string> keys = WorksheetGroupKeys(database);
  std::lock_guard<std::mutex> lock(g_random_lock);
  VersionDrawing drawing(std::max(versions, 1));
  for (const auto& [group, n] : groups) {
    if (group < 0 || static_cast<size_t>(group) >= keys.size() || n <= 0) continue;
    const std::string& key = keys[static_cast<size_t>(group)];
    const int32_t count = database.CountPrefix(key);
    if (n > count) throw PageError(GenerationErrorMessage(n, count));
    const int32_t first = database.FindNthProblem(key, 1).value_or(0);  // found: count >= n > 0
    drawing.DrawGroup(first, count, n, seed);
  }
  return std::move(drawing).Result();
}

void GenerateWorksheet(const StringList& params, const MathDatabase& database, Platform& clock,
                       StringList& worksheet) {
  const std::vector<std::pair<int, int32_t>> groups = RequestedGroups(params, database);
  if (groups.empty()) return;
  const GeneratedVersions drawn = GenerateVersions(database, groups, clock.UtcMillisecondsOfDay(), 1);
  worksheet.Clear();
  for (int32_t position : drawn.versions.front()) worksheet.Add(IntToStr(position));
}

}  // namespace qil
