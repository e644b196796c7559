// A growable in-memory byte stream with a size and a position.
//
// Every archive read, template output and response of the engine goes into
// one. Bytes are kept in a std::string (8-bit, not necessarily text). The
// position may be set past the end; a write there first fills the gap with
// zero bytes. Not thread-safe: one owner at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qil {

class MemoryStream {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

  size_t Size() const { return bytes_.size(); }
  // Grows with zero bytes or cuts; a position beyond the new end moves to it.
  void SetSize(size_t size);

  size_t Position() const { return position_; }
  void SetPosition(size_t position) { position_ = position; }

  // Copies up to count bytes from the position on; returns how many were copied.
  size_t Read(void* buffer, size_t count);
  // Writes at the position (overwriting, then growing) and moves the position.
  void Write(const void* buffer, size_t count);
  void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }

  // Empties the stream and sets the position to 0.
  void Clear();

  char* Data() { return bytes_.data(); }
  const char* Data() const { return bytes_.data(); }
  std::string_view View() const { return bytes_; }
  const std::string& Bytes() const { return bytes_; }

  // Replaces the whole content; the position goes to 0.
  void Assign(std::string bytes);
  // Hands the content out and leaves the stream empty.
  std::string Take();

 private:
  std::string bytes_;
  size_t position_ = 0;
};

}  // namespace qil
