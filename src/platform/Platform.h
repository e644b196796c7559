// What the engine needs of the operating system, behind one small interface.
//
// The core never talks to windows, toolkits or the command line directly: the
// archive asks whether to retry a failed read, the clipboard module hands over
// an RTF document, the worksheet generator asks for the time of day. The
// desktop program installs its GTK implementation at start-up; the command
// line and the tests use the headless one (platform/headless), which is also
// what CurrentPlatform() answers before anything was installed.
//
// Thread safety: SetCurrentPlatform is called at start-up before any request;
// the implementations must tolerate calls from any thread that reads the archive.
#pragma once

#include <cstdint>
#include <string>

namespace qil {

class Platform {
 public:
  virtual ~Platform() = default;

  // A read of the content archive failed. Shows message and answers true when
  // the user asks to try again, false when the user gives up.
  virtual bool AskRetry(const std::string& message) = 0;

  // An error box with one OK button (on the command line: one line on stderr).
  virtual void ShowError(const std::string& message) = 0;

  // Puts an RTF document on the clipboard; false when the clipboard refused it.
  virtual bool SetClipboardRTF(const std::string& document) = 0;

  // Milliseconds since midnight UTC: 0 to 86399999.
  virtual uint32_t UtcMillisecondsOfDay() = 0;

  // Offers a document (a worksheet's PDF) to be kept as a file: the desktop
  // asks where to save it, suggesting suggestedName; the classroom server
  // hands it to the browser as a download; the command line writes it into
  // its save folder. False when it was not kept (cancelled, refused, or no
  // way to save, which is what this default answers).
  virtual bool SaveDocument(const std::string& suggestedName, const std::string& mimeType,
                            const std::string& bytes);
};

// Milliseconds since midnight UTC by the system clock: 0 to 86399999.
uint32_t SystemUtcMillisecondsOfDay();

// The installed platform, or the process-wide headless one when none is.
Platform& CurrentPlatform();

// Installs platform (not owned; it must outlive its use). nullptr restores the headless default.
void SetCurrentPlatform(Platform* platform);

}  // namespace qil
