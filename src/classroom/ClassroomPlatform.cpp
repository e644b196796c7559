#include "classroom/ClassroomPlatform.h"

#include "classroom/AccessLog.h"

namespace qil {

namespace {
thread_local DocumentCapture* current_capture = nullptr;
}  // namespace

DocumentCapture::DocumentCapture() { current_capture = this; }

DocumentCapture::~DocumentCapture() { current_capture = nullptr; }

bool ClassroomPlatform::AskRetry(const std::string& message) {
  LogProblem(message);
  return false;
}

void ClassroomPlatform::ShowError(const std::string& message) {
  LogProblem(message);
}

bool ClassroomPlatform::SetClipboardRTF(const std::string& document) {
  if (current_capture == nullptr) return false;
  current_capture->document_ = CapturedDocument{document, "application/rtf", ""};
  return true;
}

bool ClassroomPlatform::SaveDocument(const std::string& suggestedName, const std::string& mimeType,
                                     const std::string& bytes) {
  if (current_capture == nullptr) return false;
  current_capture->document_ = CapturedDocument{bytes, mimeType, suggestedName};
  return true;
}

uint32_t ClassroomPlatform::UtcMillisecondsOfDay() { return SystemUtcMillisecondsOfDay(); }

}  // namespace qil
