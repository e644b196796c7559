#include "Random.h"

#include <stdexcept>

namespace qil::disc {

namespace {

uint64_t Mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

}  // namespace

Rng Rng::Derive(uint64_t seed, std::string_view name, uint64_t a, uint64_t b) {
  uint64_t h = 0xcbf29ce484222325ULL;  // FNV-1a over the name
  for (unsigned char c : name) {
    h = (h ^ c) * 0x100000001b3ULL;
  }
  return Rng(Mix(Mix(Mix(seed) ^ h) ^ a) ^ Mix(b + 0x9e3779b97f4a7c15ULL));
}

uint64_t Rng::Next() {
  state_ += 0x9e3779b97f4a7c15ULL;
  return Mix(state_);
}

int64_t Rng::Range(int64_t lo, int64_t hi) {
  if (lo > hi) throw std::invalid_argument("Rng::Range: empty range");
  const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) + 1;
  if (span == 0) return static_cast<int64_t>(Next());  // the full 64-bit range
  // Rejection keeps every value equally likely.
  const uint64_t limit = UINT64_MAX - UINT64_MAX % span;
  uint64_t v;
  do {
    v = Next();
  } while (v >= limit);
  return static_cast<int64_t>(static_cast<uint64_t>(lo) + v % span);
}

int64_t Rng::NonZero(int64_t lo, int64_t hi) {
  if (lo == 0 && hi == 0) throw std::invalid_argument("Rng::NonZero: no non-zero value");
  int64_t v;
  do {
    v = Range(lo, hi);
  } while (v == 0);
  return v;
}

bool Rng::Chance(int numerator, int denominator) {
  return Range(0, denominator - 1) < numerator;
}

}  // namespace qil::disc
