#include "platform/headless/HeadlessPlatform.h"

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
