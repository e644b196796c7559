#include "ArchiveTestUtil.h"

#include <random>

#include "archive/Blowfish.h"

namespace qil::test {

std::string PatternBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

namespace {

void PutEnciphered(std::string& file, size_t at, std::string plain, std::string_view key) {
  plain.resize(archive::RoundUp8(plain.size()), '\0');
  Blowfish cipher;
  cipher.SetKey(key);
  auto* bytes = reinterpret_cast<uint8_t*>(plain.data());
  cipher.EncipherBlocks(bytes, bytes, plain.size() / 8);
  if (file.size() < at + plain.size()) file.resize(at + plain.size(), '\0');
  file.replace(at, plain.size(), plain);
}

}  // namespace

void PutHeader(std::string& file, const archive::ArchiveHeader& header) {
  PutEnciphered(file, 0, header.Encode().substr(0, 128), archive::kHeaderKey);
}

std::string CraftArchive(const archive::ArchiveHeader& header, const std::string& names,
                         const std::vector<std::pair<uint32_t, uint32_t>>& records,
                         size_t total_size) {
  std::string file;
  PutHeader(file, header);
  file.resize(archive::kHeaderSize, '\0');
  std::string record_bytes;
  for (const auto& [offset, size] : records) {
    char record[8];
    StoreU32LE(offset, record);
    StoreU32LE(size, record + 4);
    record_bytes.append(record, 8);
  }
  PutEnciphered(file, header.names_offset, names, archive::kNamesKey);
  PutEnciphered(file, header.names_offset + archive::RoundUp8(header.names_length), record_bytes,
                archive::kRecordsKey);
  if (file.size() < total_size) file.resize(total_size, '\0');
  return file;
}

RecordingPlatform::RecordingPlatform(std::function<bool(int)> answer)
    : answer_(std::move(answer)) {
  SetCurrentPlatform(this);
}

RecordingPlatform::~RecordingPlatform() { SetCurrentPlatform(nullptr); }

bool RecordingPlatform::AskRetry(const std::string& message) {
  int number;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    number = ++prompts_;
    last_prompt_ = message;
  }
  return answer_ ? answer_(number) : false;
}

int RecordingPlatform::Prompts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return prompts_;
}

std::string RecordingPlatform::LastPrompt() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_prompt_;
}

}  // namespace qil::test
