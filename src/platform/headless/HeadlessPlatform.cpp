#include "platform/headless/HeadlessPlatform.h"

#include <filesystem>
#include <iostream>

#include "base/Exceptions.h"
#include "base/Files.h"

namespace qil {

bool HeadlessPlatform::AskRetry(const std::string&) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++retry_prompts_;
  return false;
}

void HeadlessPlatform::ShowError(const std::string& message) {
  std::string line = message;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::cerr << line << std::endl;
}

bool HeadlessPlatform::SetClipboardRTF(const std::string& document) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (clipboard_file_.empty()) {
    clipboard_ = document;
    return true;
  }
  try {
    WriteFileReplacing(clipboard_file_, document);
  } catch (const Exception&) {
    return false;
  }
  clipboard_ = document;  // only a document that was copied is on the clipboard
  return true;
}

bool HeadlessPlatform::SaveDocument(const std::string& suggestedName, const std::string&,
                                    const std::string& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string name = std::filesystem::path(suggestedName).filename().string();
  if (save_folder_.empty() || name.empty() || name == "." || name == "..") return false;
  try {
    WriteFileReplacing((std::filesystem::path(save_folder_) / name).string(), bytes);
  } catch (const Exception&) {
    return false;
  }
  last_saved_ = {name, bytes};
  return true;
}

void HeadlessPlatform::SetSaveFolder(std::string path) {
  std::lock_guard<std::mutex> lock(mutex_);
  save_folder_ = std::move(path);
}

std::pair<std::string, std::string> HeadlessPlatform::LastSaved() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_saved_;
}

uint32_t HeadlessPlatform::UtcMillisecondsOfDay() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fixed_time_) return *fixed_time_;
  }
  return SystemUtcMillisecondsOfDay();
}

void HeadlessPlatform::SetClipboardFile(std::string path) {
  std::lock_guard<std::mutex> lock(mutex_);
  clipboard_file_ = std::move(path);
}

std::string HeadlessPlatform::ClipboardContent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clipboard_;
}

void HeadlessPlatform::SetFixedTimeOfDay(std::optional<uint32_t> milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  fixed_time_ = milliseconds;
}

int HeadlessPlatform::RetryPrompts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return retry_prompts_;
}

}  // namespace qil
