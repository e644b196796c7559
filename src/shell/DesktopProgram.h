// The desktop program's entry, start-up and shutdown, written against the
// DesktopPlatform interface so that their order and every failure can be
// tested without a display.
//
// Entry: a configured patch level above "00" (compared byte by byte) starts
// the patch program instead and ends; a second copy hands its address to the
// first and ends quietly. Then the main loop runs start-up:
//   number format fixed; temporary directory; title; web engine version read;
//   archive opened; web engine version and user checked; server, database,
//   page modules and scheme registered; about picture loaded; fonts
//   installed; readme shown (declining ends the program); tray activated;
//   main window shown on the start page (or the address given).
// A failure up to the registration shows one error box and ends the program
// with exit status 2. Shutdown, after the loop: scheme withdrawn and server
// freed, fonts removed, archive closed, database freed.
//
// Not thread-safe: Run is called once, on the main thread.
#pragma once

#include <memory>
#include <string>

#include "base/Exceptions.h"
#include "shell/FontFolder.h"

namespace qil {

class DesktopPlatform;

// Surroundings the program refuses to start in (the web engine's version,
// the user's rights); the message is the one the error box shows.
class StartupError : public Exception {
 public:
  using Exception::Exception;
};
class Engine;

struct DesktopOptions {
  std::string ArchivePath = "math.dat";
  std::string MIMETypesPath;    // "" : the system's table
  std::string Address;          // "" : the start page
};

// The disc to open: explicit when given, else "math.dat" in the current
// directory when it exists, else installed (the installed demo disc).
std::string ChooseArchive(const std::string& explicit_path, const std::string& installed);

// Whether a web engine version ("2.50.6") is at least the program's minimum.
bool IsSuitableWebEngine(const std::string& version);

class DesktopProgram {
 public:
  static constexpr const char* kTitle = "Brenlowe: Orvella v1.00";
  static constexpr const char* kStartPage = "qilproto://qilproto_local/index.html";
  static constexpr const char* kReadmePage = "qilproto://qilproto_local/readme.htm";
  static constexpr int kMinimumWebEngineMajor = 2;
  static constexpr int kMinimumWebEngineMinor = 36;
  static constexpr const char* kWebEngineMessage =
      "There is no suitable WebKitGTK installed on your computer.\n"
      "This product needs WebKitGTK 2.36 or better in order to view its contents.\n\n"
      "Please install WebKitGTK 2.36 or newer (Debian package libwebkit2gtk-4.1-0), "
      "then try again.";
  static constexpr const char* kAdministratorMessage =
      "Sorry, you need administrator privileges on this machine\nto run this program.";

  DesktopProgram(DesktopPlatform& platform, DesktopOptions options);
  ~DesktopProgram();
  DesktopProgram(const DesktopProgram&) = delete;
  DesktopProgram& operator=(const DesktopProgram&) = delete;

  // Runs the program; answers its exit status (0, or 2 after a start-up error).
  int Run();

 private:
  bool Startup();
  void Shutdown();

  DesktopPlatform& platform_;
  DesktopOptions options_;
  std::string temp_dir_;
  std::unique_ptr<Engine> engine_;
  FontFolder fonts_;
  int status_ = 0;
};

}  // namespace qil
