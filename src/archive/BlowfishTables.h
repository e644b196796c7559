// The Blowfish tables and round function, independent of any key.
//
// kInitialP and kInitialS are the cipher's initial P-array and S-boxes (the
// hexadecimal digits of pi's fraction, generated into BlowFishTables.cpp by
// scripts/gen_blowfish_tables.py). EncipherWords and DecipherWords run the 16
// rounds over any such tables: the initial ones (the unkeyed cipher) or tables
// derived from them by a key schedule. Pure functions of constant data: safe
// from any thread.
#pragma once

#include <cstdint>

namespace qil::blowfish {

constexpr int kRounds = 16;
constexpr int kPWords = kRounds + 2;

extern const uint32_t kInitialP[kPWords];
extern const uint32_t kInitialS[4][256];

inline uint32_t RoundF(const uint32_t (*s)[256], uint32_t x) {
  return ((s[0][x >> 24] + s[1][(x >> 16) & 0xff]) ^ s[2][(x >> 8) & 0xff]) + s[3][x & 0xff];
}

// Enciphers one block held as its left and right 32-bit halves.
inline void EncipherWords(const uint32_t* p, const uint32_t (*s)[256], uint32_t& left,
                          uint32_t& right) {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 0; i < kRounds; i += 2) {
    l ^= p[i];
    r ^= RoundF(s, l);
    r ^= p[i + 1];
    l ^= RoundF(s, r);
  }
  left = r ^ p[kRounds + 1];
  right = l ^ p[kRounds];
}

// The inverse of EncipherWords with the same tables.
inline void DecipherWords(const uint32_t* p, const uint32_t (*s)[256], uint32_t& left,
                          uint32_t& right) {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = kRounds + 1; i > 1; i -= 2) {
    l ^= p[i];
    r ^= RoundF(s, l);
    r ^= p[i - 1];
    l ^= RoundF(s, r);
  }
  left = r ^ p[0];
  right = l ^ p[1];
}

}  // namespace qil::blowfish
