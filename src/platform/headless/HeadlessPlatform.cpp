#include "platform/headless/HeadlessPlatform.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

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
  const std::string temporary = clipboard_file_ + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(document.data(), static_cast<std::streamsize>(document.size()));
    if (!out.flush()) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, clipboard_file_, error);
  if (error) {
    std::remove(temporary.c_str());
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
