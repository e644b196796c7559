#include "archive/Blowfish.h"

// libcrypto 3 marks the low-level Blowfish calls deprecated; they are exactly
// the primitive this unit needs, so the warning is silenced for this file only.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <cstring>

#include "archive/BlowfishTables.h"

namespace qil {

namespace {

inline uint32_t LoadBigEndian(const uint8_t* bytes) {
  uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return __builtin_bswap32(word);
}

inline void StoreBigEndian(uint32_t word, uint8_t* bytes) {
  word = __builtin_bswap32(word);
  std::memcpy(bytes, &word, sizeof word);
}

// Runs op(left, right) over every block, loading and storing big-endian halves.
template <typename BlockOp>
void ForEachBlock(const uint8_t* src, uint8_t* dst, size_t count, BlockOp op) {
  for (size_t i = 0; i < count; ++i, src += 8, dst += 8) {
    uint32_t left = LoadBigEndian(src);
    uint32_t right = LoadBigEndian(src + 4);
    op(left, right);
    StoreBigEndian(left, dst);
    StoreBigEndian(right, dst + 4);
  }
}

}  // namespace

static_assert(sizeof(BF_LONG) == sizeof(uint32_t), "libcrypto's Blowfish word must be 32 bits");

Blowfish::Blowfish() : schedule_(std::make_unique<BF_KEY>()) {}

Blowfish::~Blowfish() = default;

std::string_view Blowfish::EffectiveKey(std::string_view key) {
  if (key.size() < kMinKeyLength || key.size() > kMaxKeyLength) return {};
  return key;
}

void Blowfish::SetKey(std::string_view key) {
  key = EffectiveKey(key);
  if (key == key_) return;
  key_.assign(key);
  keyed_ = !key_.empty();
  if (keyed_) {
    BF_set_key(schedule_.get(), static_cast<int>(key_.size()),
               reinterpret_cast<const unsigned char*>(key_.data()));
  }
}

template <Blowfish::Direction direction>
void Blowfish::RunBlocks(const uint8_t* src, uint8_t* dst, size_t count) {
  constexpr bool decipher = direction == Direction::kDecipher;
  if (keyed_) {
    const BF_KEY* schedule = schedule_.get();
    ForEachBlock(src, dst, count, [schedule](uint32_t& left, uint32_t& right) {
      BF_LONG data[2] = {left, right};
      if constexpr (decipher) {
        BF_decrypt(data, schedule);
      } else {
        BF_encrypt(data, schedule);
      }
      left = data[0];
      right = data[1];
    });
  } else {
    ForEachBlock(src, dst, count, [](uint32_t& left, uint32_t& right) {
      if constexpr (decipher) {
        blowfish::DecipherWords(blowfish::kInitialP, blowfish::kInitialS, left, right);
      } else {
        blowfish::EncipherWords(blowfish::kInitialP, blowfish::kInitialS, left, right);
      }
    });
  }
}

void Blowfish::DecipherBlocks(const uint8_t* src, uint8_t* dst, size_t count) {
  RunBlocks<Direction::kDecipher>(src, dst, count);
}

void Blowfish::EncipherBlocks(const uint8_t* src, uint8_t* dst, size_t count) {
  RunBlocks<Direction::kEncipher>(src, dst, count);
}

}  // namespace qil
