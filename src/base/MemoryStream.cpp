#include "base/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace qil {

void MemoryStream::SetSize(size_t size) {
  bytes_.resize(size);
  position_ = std::min(position_, size);
}

size_t MemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= bytes_.size()) return 0;
  const size_t n = std::min(count, bytes_.size() - position_);
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

void MemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return;
  if (position_ == bytes_.size()) {
    bytes_.append(static_cast<const char*>(buffer), count);
  } else {
    if (position_ + count > bytes_.size()) bytes_.resize(position_ + count);
    std::memcpy(bytes_.data() + position_, buffer, count);
  }
  position_ += count;
}

void MemoryStream::Clear() {
  bytes_.clear();
  position_ = 0;
}

void MemoryStream::Assign(std::string bytes) {
  bytes_ = std::move(bytes);
  position_ = 0;
}

std::string MemoryStream::Take() {
  std::string out = std::move(bytes_);
  Clear();
  return out;
}

}  // namespace qil
