// Helpers of the archive tests: pattern bytes, hostile archives, and a
// platform that records the retry prompts. Temporary folders and whole-file
// reads and writes come with common/TestFiles.h.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "archive/ArchiveFormat.h"
#include "common/TestFiles.h"
#include "platform/Platform.h"

namespace qil::test {

// Deterministic pseudo-random bytes.
std::string PatternBytes(size_t size, uint32_t seed);

// An archive laid out by hand: header at 0, the name text at
// header.names_offset and the records behind RoundUp8(header.names_length)
// bytes of it, each part enciphered
// with its fixed key, then zero bytes up to total_size (when larger). For
// headers and directories that the writer refuses to produce.
std::string CraftArchive(const archive::ArchiveHeader& header, const std::string& names,
                         const std::vector<std::pair<uint32_t, uint32_t>>& records,
                         size_t total_size);

// Overwrites the header of an archive file's bytes with header, enciphered.
void PutHeader(std::string& file, const archive::ArchiveHeader& header);

// Installed as the current platform for its lifetime. Records every retry
// prompt and answers with answer(prompt number from 1).
class RecordingPlatform : public Platform {
 public:
  explicit RecordingPlatform(std::function<bool(int)> answer = nullptr);
  ~RecordingPlatform() override;

  bool AskRetry(const std::string& message) override;
  void ShowError(const std::string&) override {}
  bool SetClipboardRTF(const std::string&) override { return false; }
  uint32_t UtcMillisecondsOfDay() override { return 0; }

  int Prompts() const;
  std::string LastPrompt() const;

 private:
  std::function<bool(int)> answer_;
  mutable std::mutex mutex_;
  int prompts_ = 0;
  std::string last_prompt_;
};

}  // namespace qil::test
