// A small deterministic random number generator for the disc generator.
//
// The same seed gives the same sequence on every machine and compiler: the
// generator is SplitMix64 and every derived value (ranges, choices) is
// computed here, never by the standard library's distributions, whose output
// differs between implementations. Not thread-safe; one object per user.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace qil::disc {

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}

  // A generator whose sequence depends on the seed and on every part given.
  static Rng Derive(uint64_t seed, std::string_view name, uint64_t a, uint64_t b = 0);

  uint64_t Next();
  // A whole number in [lo, hi], both included; lo <= hi.
  int64_t Range(int64_t lo, int64_t hi);
  // A non-zero whole number in [lo, hi].
  int64_t NonZero(int64_t lo, int64_t hi);
  // True with probability numerator / denominator.
  bool Chance(int numerator, int denominator);
  // Minus one or plus one.
  int Sign() { return Chance(1, 2) ? -1 : 1; }

  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Range(0, static_cast<int64_t>(items.size()) - 1))];
  }

  template <typename T>
  void Shuffle(std::vector<T>& items) {
    for (size_t i = items.size(); i > 1; --i) {
      size_t j = static_cast<size_t>(Range(0, static_cast<int64_t>(i) - 1));
      std::swap(items[i - 1], items[j]);
    }
  }

 private:
  uint64_t state_;
};

}  // namespace qil::disc
