// The cipher: our tables and round function against libcrypto, the key rule,
// the byte order, and the archive's Decipher with partial blocks.
#include <gtest/gtest.h>

#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <cstring>

#include "ArchiveTestUtil.h"
#include "archive/Blowfish.h"
#include "archive/BlowfishTables.h"
#include "archive/ArchiveReader.h"

namespace qil {
namespace {

using blowfish::kPWords;

uint32_t BigEndianWord(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

BF_KEY LibrarySchedule(const std::string& key) {
  BF_KEY schedule;
  BF_set_key(&schedule, static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(key.data()));
  return schedule;
}

// The published key schedule, run over our initial tables with our round function.
struct Tables {
  uint32_t p[kPWords];
  uint32_t s[4][256];
};

Tables OurSchedule(const std::string& key) {
  Tables t;
  std::memcpy(t.p, blowfish::kInitialP, sizeof t.p);
  std::memcpy(t.s, blowfish::kInitialS, sizeof t.s);
  size_t k = 0;
  for (uint32_t& word : t.p) {
    uint32_t key_word = 0;
    for (int i = 0; i < 4; ++i, k = (k + 1) % key.size()) {
      key_word = key_word << 8 | static_cast<uint8_t>(key[k]);
    }
    word ^= key_word;
  }
  uint32_t left = 0, right = 0;
  for (int i = 0; i < kPWords; i += 2) {
    blowfish::EncipherWords(t.p, t.s, left, right);
    t.p[i] = left;
    t.p[i + 1] = right;
  }
  for (auto& box : t.s) {
    for (int i = 0; i < 256; i += 2) {
      blowfish::EncipherWords(t.p, t.s, left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
  return t;
}

TEST(BlowFishTables, UnkeyedZeroBlockIsTheLibrarysFirstScheduleStep) {
  // With an all-zero key the schedule XORs nothing into P and then enciphers
  // the zero block with the initial tables: that block becomes P[0], P[1].
  const BF_KEY library = LibrarySchedule(std::string(8, '\0'));
  Blowfish cipher;
  uint8_t block[8] = {};
  cipher.EncipherBlocks(block, block, 1);
  EXPECT_EQ(BigEndianWord(block), library.P[0]);
  EXPECT_EQ(BigEndianWord(block + 4), library.P[1]);
}

TEST(BlowFishTables, OurKeyScheduleOverOurTablesEqualsTheLibrarys) {
  for (size_t length : {8u, 13u, 56u, 65u}) {
    const std::string key = test::PatternBytes(length, static_cast<uint32_t>(length));
    const BF_KEY library = LibrarySchedule(key);
    const Tables ours = OurSchedule(key);
    EXPECT_EQ(0, std::memcmp(ours.p, library.P, sizeof ours.p)) << "P, key length " << length;
    EXPECT_EQ(0, std::memcmp(ours.s, library.S, sizeof ours.s)) << "S, key length " << length;
  }
}

TEST(BlowFish, KeyedCipherMatchesLibraryEcbInBothDirections) {
  const std::string key = "ten bytes!";
  const BF_KEY library = LibrarySchedule(key);
  const std::string plain = test::PatternBytes(4096, 7);
  std::string expected = plain;
  auto* e = reinterpret_cast<unsigned char*>(expected.data());
  for (size_t i = 0; i < expected.size(); i += 8) BF_ecb_encrypt(e + i, e + i, &library, BF_ENCRYPT);

  Blowfish cipher;
  cipher.SetKey(key);
  ASSERT_TRUE(cipher.Keyed());
  std::string bytes = plain;
  auto* b = reinterpret_cast<uint8_t*>(bytes.data());
  cipher.EncipherBlocks(b, b, bytes.size() / 8);
  EXPECT_EQ(bytes, expected);
  std::string out(bytes.size(), '\0');
  cipher.DecipherBlocks(b, reinterpret_cast<uint8_t*>(out.data()), bytes.size() / 8);
  EXPECT_EQ(out, plain);
}

TEST(BlowFish, KeyRuleSelectsTheUnkeyedCipherOutside8To65Bytes) {
  const std::string plain = test::PatternBytes(64, 3);
  auto encipher = [&](const std::string& key, bool& keyed) {
    Blowfish cipher;
    cipher.SetKey(key);
    keyed = cipher.Keyed();
    std::string bytes = plain;
    auto* b = reinterpret_cast<uint8_t*>(bytes.data());
    cipher.EncipherBlocks(b, b, bytes.size() / 8);
    return bytes;
  };
  bool keyed = true;
  const std::string unkeyed = encipher("", keyed);
  EXPECT_FALSE(keyed);
  EXPECT_NE(unkeyed, plain);
  for (size_t length : {1u, 7u, 66u, 200u}) {
    EXPECT_EQ(encipher(std::string(length, 'k'), keyed), unkeyed) << length;
    EXPECT_FALSE(keyed) << length;
  }
  for (size_t length : {8u, 65u}) {
    const std::string key = test::PatternBytes(length, 11);
    EXPECT_NE(encipher(key, keyed), unkeyed) << length;
    EXPECT_TRUE(keyed) << length;
  }
  // Switching back from a key to the empty key restores the unkeyed tables.
  Blowfish cipher;
  cipher.SetKey("some longer key");
  cipher.SetKey("");
  std::string bytes = plain;
  auto* b = reinterpret_cast<uint8_t*>(bytes.data());
  cipher.EncipherBlocks(b, b, bytes.size() / 8);
  EXPECT_EQ(bytes, unkeyed);
}

TEST(ArchiveDecipher, PartialFinalBlockIsZeroPaddedAndCut) {
  ArchiveReader archive;
  Blowfish cipher;
  const std::string key = "partial-block key";
  cipher.SetKey(key);
  // Encipher 136 bytes; the 132-byte prefix of the cipher text deciphers to
  // the first 128 plain bytes plus the first 4 bytes of D(last 4 bytes + zeros).
  std::string enciphered = test::PatternBytes(136, 5);
  auto* e = reinterpret_cast<uint8_t*>(enciphered.data());
  const std::string plain = enciphered;
  cipher.EncipherBlocks(e, e, 17);

  std::string out(132, '\0');
  archive.Decipher(enciphered.data(), out.data(), key, 132);
  EXPECT_EQ(out.substr(0, 128), plain.substr(0, 128));
  uint8_t tail[8] = {};
  std::memcpy(tail, e + 128, 4);
  cipher.DecipherBlocks(tail, tail, 1);
  EXPECT_EQ(out.substr(128), std::string(reinterpret_cast<char*>(tail), 4));

  std::string in_place = enciphered.substr(0, 132);
  archive.Decipher(in_place.data(), in_place.data(), key, 132);
  EXPECT_EQ(in_place, out);
}

}  // namespace
}  // namespace qil
