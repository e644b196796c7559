// The block cipher of the content archive: Blowfish in ECB mode.
//
// Key rule: a key of 8 to 65 bytes is
// used as it stands (the key schedule takes its bytes cyclically); a key of
// any other length, the empty key included, selects the unkeyed cipher, which
// skips the key schedule and runs on the unchanged initial tables. The keyed
// cipher is the libcrypto implementation; the unkeyed one runs our own round
// function over the tables of BlowfishTables.h.
//
// Each 8-byte block is two 32-bit big-endian halves, left half first; blocks
// are processed independently (ECB, no IV, no chaining).
//
// A cipher object keeps its key tables inside itself: give every thread its
// own object. Setting the key that is already set costs nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct bf_key_st;

namespace qil {

class Blowfish {
 public:
  static constexpr size_t kBlockSize = 8;
  static constexpr size_t kMinKeyLength = 8;
  static constexpr size_t kMaxKeyLength = 65;

  // Starts with the empty key: the unkeyed cipher.
  Blowfish();
  ~Blowfish();
  Blowfish(const Blowfish&) = delete;
  Blowfish& operator=(const Blowfish&) = delete;

  // Makes key the key of the following operations (the key rule above applies).
  void SetKey(std::string_view key);

  // Deciphers count whole blocks from src into dst. src and dst may be the
  // same buffer (in place); otherwise they must not overlap.
  void DecipherBlocks(const uint8_t* src, uint8_t* dst, size_t count);
  // Enciphers count whole blocks from src into dst, with the same rules.
  void EncipherBlocks(const uint8_t* src, uint8_t* dst, size_t count);

  // True when the key in use went through the key schedule (8 to 65 bytes).
  bool Keyed() const { return keyed_; }

  // The key the cipher runs with after the key rule: key itself, or "" for the unkeyed cipher.
  static std::string_view EffectiveKey(std::string_view key);

 private:
  enum class Direction { kEncipher, kDecipher };
  template <Direction direction>
  void RunBlocks(const uint8_t* src, uint8_t* dst, size_t count);

  std::unique_ptr<bf_key_st> schedule_;  // the keyed tables; unused when unkeyed
  std::string key_;                      // the effective key now in use
  bool keyed_ = false;
};

}  // namespace qil
