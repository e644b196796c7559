#include "Bank.h"

#include <set>

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
  return p;
}

std::vector<BankEntry> GenerateBank(uint64_t seed) {
  std::vector<BankEntry> bank;
  for (const Topic& topic : Topics()) {
    for (int level = 1; level <= 4; ++level) {
      std::set<std::string> keys;
      for (int number = 1; number <= topic.counts[level - 1]; ++number) {
        int attempt = 0;
        Problem p = MakeChecked(topic, level, seed, number, attempt);
        while (!keys.insert(p.key).second) {
          if (++attempt == kMaxAttempts) {
            throw std::runtime_error(Describe(topic, level, number) +
                                     ": no new problem after many attempts; the kind has too few variants");
          }
          p = MakeChecked(topic, level, seed, number, attempt);
        }
        bank.push_back({&topic, level, number, std::move(p)});
      }
    }
  }
  return bank;
}

}  // namespace qil::disc
