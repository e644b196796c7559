#include "Bank.h"

#include <set>

#include "Rules.h"

namespace qil::disc {

namespace {

constexpr int kMaxAttempts = 200;

std::string Describe(const Topic& topic, int level, int number) {
  return topic.code + std::to_string(level) + " #" + std::to_string(number);
}

std::string AnswerText(const Answer& answer) {
  std::string out;
  for (const Rational& r : answer) out += (out.empty() ? "" : ", ") + r.ToString();
  return "[" + out + "]";
}

// What the pupil reads: the statement's text and the data of its figure.
std::string StatementText(const Problem& p) {
  return p.statement.Plain() + (p.figure ? "\n" + p.figure->description : "");
}

}  // namespace

void Require(bool condition, const std::string& message) {
  if (!condition) throw CheckFailed(message);
}

Problem MakeChecked(const Topic& topic, int level, uint64_t seed, int number, int attempt) {
  Rng rng = Rng::Derive(seed, topic.code + std::to_string(level), static_cast<uint64_t>(number),
                        static_cast<uint64_t>(attempt));
  Problem p;
  try {
    p = topic.make(rng, level);
  } catch (const CheckFailed& e) {
    throw CheckFailed(Describe(topic, level, number) + ": " + e.what());
  }
  if (!p.check) throw CheckFailed(Describe(topic, level, number) + ": no answer check");
  if (p.answer.empty() || !p.check(p.answer)) {
    throw CheckFailed(Describe(topic, level, number) + ": the answer " + AnswerText(p.answer) +
                      " fails its check");
  }
  if (p.key.empty()) throw CheckFailed(Describe(topic, level, number) + ": no key");
  try {
    CheckRules(topic.code, level, p);
  } catch (const RuleBroken& e) {
    throw RuleBroken(Describe(topic, level, number) + ": " + e.what() + " in: " + p.statement.Plain());
  }
  return p;
}

std::vector<BankEntry> GenerateBank(uint64_t seed, std::map<std::string, int>* redrawn) {
  std::vector<BankEntry> bank;
  std::set<std::string> statements;  // of the whole bank
  for (const Topic& topic : Topics()) {
    std::set<std::string> canons;
    for (int level = 1; level <= 4; ++level) {
      std::set<std::string> keys;
      for (int number = 1; number <= topic.counts[level - 1]; ++number) {
        for (int attempt = 0;; ++attempt) {
          if (attempt == kMaxAttempts) {
            throw std::runtime_error(Describe(topic, level, number) +
                                     ": no new problem after many attempts; the kind has too few variants");
          }
          Problem p = MakeChecked(topic, level, seed, number, attempt);
          const std::string statement = StatementText(p);
          const char* repeat = nullptr;
          if (keys.contains(p.key)) {
            repeat = "key";
          } else if (statements.contains(statement)) {
            repeat = "statement";
          } else if (!p.canon.empty() && canons.contains(p.canon)) {
            repeat = "canonical form";
          }
          if (repeat != nullptr) {
            if (redrawn != nullptr) ++(*redrawn)[repeat];
            continue;
          }
          keys.insert(p.key);
          statements.insert(statement);
          if (!p.canon.empty()) canons.insert(p.canon);
          bank.push_back({&topic, level, number, std::move(p)});
          break;
        }
      }
    }
  }
  return bank;
}

}  // namespace qil::disc
