// The platform of the command line and of the tests: no windows.
//
//  - AskRetry gives up at once, so a damaged archive never waits for a user.
//  - ShowError writes the message as one line to stderr.
//  - SetClipboardRTF replaces the clipboard file (when one was set) with
//    exactly the document's bytes, through a temporary file renamed into
//    place; without a clipboard file the document is kept in memory only.
//  - UtcMillisecondsOfDay reads the system clock unless a fixed time was set.
//  - SaveDocument writes the document into the save folder (when one was
//    set) under the suggested name's last part, replacing a file of that
//    name; without a save folder it refuses. The last document saved is kept.
// Thread-safe.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/Platform.h"

namespace qil {

class HeadlessPlatform : public Platform {
 public:
  bool AskRetry(const std::string& message) override;
  void ShowError(const std::string& message) override;
  bool SetClipboardRTF(const std::string& document) override;
  uint32_t UtcMillisecondsOfDay() override;
  bool SaveDocument(const std::string& suggestedName, const std::string& mimeType,
                    const std::string& bytes) override;

  void SetClipboardFile(std::string path);
  // The last document put on the clipboard ("" when none was).
  std::string ClipboardContent() const;
  void SetSaveFolder(std::string path);
  // The name and bytes of the last document saved (empty when none was).
  std::pair<std::string, std::string> LastSaved() const;
  // Fixes the time of day (milliseconds since midnight UTC); nullopt reads the clock again.
  void SetFixedTimeOfDay(std::optional<uint32_t> milliseconds);
  // How often AskRetry was asked.
  int RetryPrompts() const;

 private:
  mutable std::mutex mutex_;
  std::string clipboard_file_;
  std::string clipboard_;
  std::string save_folder_;
  std::pair<std::string, std::string> last_saved_;
  std::optional<uint32_t> fixed_time_;
  int retry_prompts_ = 0;
};

}  // namespace qil
