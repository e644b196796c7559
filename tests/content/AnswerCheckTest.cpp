// Every problem kind over many seeds: its answer passes its own check, changed
// answers fail it, and a failing check stops generation with a clear message.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Bank.h"

namespace qil::disc {
namespace {

constexpr int kSeeds = 40;

std::string Where(const Topic& t, int level, uint64_t seed) {
  return t.code + std::to_string(level) + " seed " + std::to_string(seed);
}

TEST(AnswerChecks, EveryKindPassesItsCheckOverManySeeds) {
  for (const Topic& topic : Topics()) {
    for (int level = 1; level <= 4; ++level) {
      for (uint64_t seed = 1; seed <= kSeeds; ++seed) {
        Problem p;
        ASSERT_NO_THROW(p = MakeChecked(topic, level, seed, 1, 0)) << Where(topic, level, seed);
        EXPECT_FALSE(p.statement.Empty()) << Where(topic, level, seed);
        EXPECT_FALSE(p.solution.Empty()) << Where(topic, level, seed);
      }
    }
  }
}

// A check that accepted a neighbouring value, or an answer with a value missing or
// added, would let a wrong worked solution through.
TEST(AnswerChecks, ChangedAnswersAreRejected) {
  for (const Topic& topic : Topics()) {
    for (int level = 1; level <= 4; ++level) {
      for (uint64_t seed = 1; seed <= kSeeds; ++seed) {
        const Problem p = MakeChecked(topic, level, seed, 2, 0);
        const std::string where = Where(topic, level, seed);
        for (size_t i = 0; i < p.answer.size(); ++i) {
          for (int delta : {-1, 1}) {
            Answer changed = p.answer;
            changed[i] += delta;
            EXPECT_FALSE(p.check(changed)) << where << ": value " << i << " changed by " << delta;
          }
        }
        Answer shorter(p.answer.begin(), p.answer.end() - 1);
        EXPECT_FALSE(p.check(shorter)) << where << ": a value missing";
        Answer longer = p.answer;
        longer.push_back(0);
        EXPECT_FALSE(p.check(longer)) << where << ": a value added";
      }
    }
  }
}

Problem WrongAnswer(Rng&, int) {
  Problem p;
  p.statement.Para("What is 2 + 2?");
  p.solution.Answer(Formula("5"));
  p.answer = {5};
  p.check = [](const Answer& a) { return a.size() == 1 && a[0] == 4; };
  p.key = "2+2";
  return p;
}

Problem FailsInside(Rng&, int) {
  Require(false, "the two methods disagree");
  return {};
}

TEST(AnswerChecks, AFailedCheckStopsGenerationAndNamesTheProblem) {
  Topic wrong{"Z09", "Broken", "", {1, 1, 1, 1}, WrongAnswer};
  try {
    MakeChecked(wrong, 3, 7, 12, 0);
    FAIL() << "no exception";
  } catch (const CheckFailed& e) {
    EXPECT_NE(std::string(e.what()).find("Z093 #12"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("[5]"), std::string::npos) << e.what();
  }
  Topic inside{"Z08", "Broken", "", {1, 1, 1, 1}, FailsInside};
  try {
    MakeChecked(inside, 1, 7, 4, 0);
    FAIL() << "no exception";
  } catch (const CheckFailed& e) {
    EXPECT_NE(std::string(e.what()).find("Z081 #4: the two methods disagree"), std::string::npos) << e.what();
  }
}

TEST(AnswerChecks, ProblemsDependOnSeedNumberAndAttemptOnly) {
  const Topic& topic = Topics()[4];
  Problem a = MakeChecked(topic, 2, 99, 5, 0);
  Problem b = MakeChecked(topic, 2, 99, 5, 0);
  EXPECT_EQ(a.key, b.key);
  EXPECT_EQ(a.statement.Plain(), b.statement.Plain());
  EXPECT_EQ(a.solution.Plain(), b.solution.Plain());
  std::set<std::string> keys;
  for (int attempt = 0; attempt < 8; ++attempt) keys.insert(MakeChecked(topic, 2, 99, 5, attempt).key);
  EXPECT_GT(keys.size(), 4u) << "attempts do not vary the problem";
}

TEST(Bank, ShapeAndDistinctProblems) {
  const std::vector<BankEntry> bank = GenerateBank(1);
  std::map<std::string, int> perTopic;
  std::map<std::string, std::set<std::string>> keysPerCode;
  std::set<char> groups;
  for (const BankEntry& e : bank) {
    ++perTopic[e.topic->code];
    groups.insert(e.topic->code[0]);
    EXPECT_TRUE(keysPerCode[e.Code()].insert(e.problem.key).second) << e.Code() << " repeats " << e.problem.key;
  }
  EXPECT_GE(bank.size(), 1200u);
  EXPECT_GE(perTopic.size(), 12u);
  EXPECT_GE(groups.size(), 3u);
  int largest = 0, smallest = 1 << 30;
  for (const auto& [code, n] : perTopic) {
    largest = std::max(largest, n);
    smallest = std::min(smallest, n);
    for (int level = 1; level <= 4; ++level) {
      EXPECT_TRUE(keysPerCode.count(code + std::to_string(level))) << code << " has no level " << level;
    }
  }
  EXPECT_GT(largest, 60);
  EXPECT_LT(smallest, 25);
  // Disc order: topics as listed, then levels, then numbers.
  for (size_t i = 1; i < bank.size(); ++i) {
    const BankEntry& a = bank[i - 1];
    const BankEntry& b = bank[i];
    if (a.topic == b.topic && a.level == b.level) {
      EXPECT_EQ(a.number + 1, b.number);
    }
  }
}

TEST(Bank, AnotherSeedGivesAnotherBank) {
  const std::vector<BankEntry> one = GenerateBank(1), two = GenerateBank(2);
  ASSERT_EQ(one.size(), two.size());
  size_t same = 0;
  for (size_t i = 0; i < one.size(); ++i) same += one[i].problem.key == two[i].problem.key ? 1 : 0;
  EXPECT_LT(same, one.size() / 4);
}

}  // namespace
}  // namespace qil::disc
