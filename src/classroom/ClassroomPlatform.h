// What the engine gets of the operating system inside the classroom server.
//
// There is no one at the server to answer questions: a failed archive read is
// not retried (the request fails and is answered 500), and errors go to
// standard error. There is no clipboard or file chooser either: a document
// the engine copies or saves goes to the DocumentCapture open on the same
// thread, so the request that made it can hand it to the browser as a
// download. Without an open capture the copy or save is refused.
// Thread-safe: a capture belongs to its thread.
#pragma once

#include <optional>
#include <string>

#include "platform/Platform.h"

namespace qil {

class ClassroomPlatform : public Platform {
 public:
  bool AskRetry(const std::string& message) override;
  void ShowError(const std::string& message) override;
  bool SetClipboardRTF(const std::string& document) override;
  uint32_t UtcMillisecondsOfDay() override;
  bool SaveDocument(const std::string& suggestedName, const std::string& mimeType,
                    const std::string& bytes) override;
};

// A document the engine handed over during a request.
struct CapturedDocument {
  std::string bytes;
  std::string mimeType;
  std::string name;  // the suggested file name; "" for a clipboard copy
};

// Receives the documents copied on this thread while it exists (the last one
// wins). Captures do not nest.
class DocumentCapture {
 public:
  DocumentCapture();
  ~DocumentCapture();

  DocumentCapture(const DocumentCapture&) = delete;
  DocumentCapture& operator=(const DocumentCapture&) = delete;

  // The document, nullopt when nothing was copied or saved.
  const std::optional<CapturedDocument>& Document() const { return document_; }

 private:
  friend class ClassroomPlatform;
  std::optional<CapturedDocument> document_;
};

}  // namespace qil
