// The cipher: published test vectors (keyed path and byte order), our own
// tables and round function, the key rule, and the archive's Decipher of a
// final partial block.
#include "archive/Blowfish.h"

#include <gtest/gtest.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <cstring>

#include "archive/ArchiveReader.h"
#include "archive/BlowfishTables.h"

namespace qil {
namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

std::string Cipher(const std::string& key, std::string bytes, bool decipher = false) {
  Blowfish cipher;
  cipher.SetKey(key);
  auto* b = reinterpret_cast<uint8_t*>(bytes.data());
  decipher ? cipher.DecipherBlocks(b, b, bytes.size() / 8) : cipher.EncipherBlocks(b, b, bytes.size() / 8);
  return bytes;
}

TEST(Blowfish, PublishedVectorsInBothDirections) {
  const char* vectors[][3] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677", "FEDCBA9876543210", "05044B62FA52D080"},
  };
  for (const auto& [key, plain, enciphered] : vectors) {
    EXPECT_EQ(Cipher(FromHex(key), FromHex(plain)), FromHex(enciphered)) << key;
    EXPECT_EQ(Cipher(FromHex(key), FromHex(enciphered), true), FromHex(plain)) << key;
  }
}

// The unkeyed cipher is ours: our tables through our round function. The key
// schedule run over them must give libcrypto's keyed tables.
TEST(Blowfish, OurTablesAndRoundFunctionGiveTheLibrarysKeySchedule) {
  const std::string key = "a 13-byte key";
  uint32_t p[blowfish::kPWords];
  uint32_t s[4][256];
  std::memcpy(p, blowfish::kInitialP, sizeof p);
  std::memcpy(s, blowfish::kInitialS, sizeof s);
  for (size_t i = 0, k = 0; i < blowfish::kPWords; ++i) {
    uint32_t word = 0;
    for (int j = 0; j < 4; ++j, k = (k + 1) % key.size()) word = word << 8 | static_cast<uint8_t>(key[k]);
    p[i] ^= word;
  }
  uint32_t left = 0, right = 0;
  for (uint32_t* table : {p, s[0], s[1], s[2], s[3]}) {
    for (int i = 0; i < (table == p ? blowfish::kPWords : 256); i += 2) {
      blowfish::EncipherWords(p, s, left, right);
      table[i] = left;
      table[i + 1] = right;
    }
  }
  BF_KEY library;
  BF_set_key(&library, static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(key.data()));
  EXPECT_EQ(0, std::memcmp(p, library.P, sizeof p));
  EXPECT_EQ(0, std::memcmp(s, library.S, sizeof s));
}

TEST(Blowfish, KeyRuleAndTheArchivesDecipherOfAPartialFinalBlock) {
  const std::string plain(48, 'p');
  const std::string unkeyed = Cipher("", plain);
  EXPECT_NE(unkeyed, plain);
  for (size_t length : {1u, 7u, 66u}) EXPECT_EQ(Cipher(std::string(length, 'k'), plain), unkeyed) << length;
  for (size_t length : {8u, 65u}) EXPECT_NE(Cipher(std::string(length, 'k'), plain), unkeyed) << length;
  // The archive's Decipher runs one cipher object with every key it is given.
  ArchiveReader archive;
  std::string out(48, '\0');
  archive.Decipher(unkeyed.data(), out.data(), "some longer key", 48);
  archive.Decipher(unkeyed.data(), out.data(), "", 48);
  EXPECT_EQ(out, plain);
  // 132 bytes: 16 whole blocks, then D(the last 4 bytes and 4 zero bytes) cut to 4.
  const std::string text = "seventeen blocks: " + std::string(118, '.'), key = "partial-block key";
  std::string enciphered = Cipher(key, text);
  const std::string tail = Cipher(key, enciphered.substr(128, 4) + std::string(4, '\0'), true);
  archive.Decipher(enciphered.data(), enciphered.data(), key, 132);
  EXPECT_EQ(enciphered.substr(0, 132), text.substr(0, 128) + tail.substr(0, 4));
}

}  // namespace
}  // namespace qil
