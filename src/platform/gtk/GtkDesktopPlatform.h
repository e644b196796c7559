// The desktop platform on GTK 3 and WebKitGTK: the real counterpart of the
// interface that the program's start-up is written against.
//
//  - Configuration: ConfigFile (the user's file, then the machine's).
//  - Single instance: GtkApplication ("org.brenlowe.Orvella") on the session
//    bus; a second start hands its address to the first through the
//    application's "open-address" action and ends. Without a session bus an
//    exclusive lock on a file in $XDG_RUNTIME_DIR (or the temporary
//    directory) keeps a second copy out.
//  - The patch program starts with posix_spawn.
//  - Windows: readme, main and about windows, the tray icon, GTK dialogs.
//  - Sharing with the class: ClassShare, the application's "share" action
//    (also the tray's entry), offered with the tray; stopped when the loop ends.
//  - The scheme: SchemeHandler, installed as the engine's scheme hooks.
//  - Fonts: FontConfig. Clipboard: Clipboard, stored at exit.
//  - SIGTERM and SIGINT end the main loop, so shutdown runs in order.
//
// gtk_init must have succeeded before the object is made. The Platform
// methods may be called from any thread; everything else on the main thread.
#pragma once

#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "platform/DesktopPlatform.h"
#include "platform/gtk/FontConfig.h"

namespace qil::gtk {

class AboutWindow;
class ClassShare;
class MainWindow;
class ReadmeWindow;
class SchemeHandler;
class Tray;

class GtkDesktopPlatform : public DesktopPlatform {
 public:
  static constexpr const char* kApplicationId = "org.brenlowe.Orvella";

  GtkDesktopPlatform();
  ~GtkDesktopPlatform() override;

  bool AskRetry(const std::string& message) override;
  void ShowError(const std::string& message) override;
  bool SetClipboardRTF(const std::string& document) override;
  uint32_t UtcMillisecondsOfDay() override;
  // Asks where to save the document with the file chooser and writes it there.
  bool SaveDocument(const std::string& suggestedName, const std::string& mimeType,
                    const std::string& bytes) override;

  std::string ConfigValue(const std::string& name) override;
  bool LaunchProgram(const std::string& path) override;
  bool ClaimSingleInstance(const std::string& address) override;
  std::optional<std::string> Environment(const std::string& name) override;
  std::string WebEngineVersion() override;
  void RunMainLoop(const std::function<bool()>& startup) override;
  void SetTitle(const std::string& title) override;
  void SetAboutImage(const std::string& jpeg) override;
  void AddFontFolder(const std::string& folder) override;
  void RemoveFontFolder(const std::string& folder) override;
  bool ShowReadme(const std::string& address) override;
  void ActivateTray() override;
  void ShowMainWindow(const std::string& address) override;

  // The disc that sharing with the class serves: the one the program opens.
  void SetSharedDisc(const std::string& archive) { shared_disc_ = archive; }

  // The web context of the program's windows; the scheme is registered on it.
  WebKitWebContext* Context() const { return context_; }

 private:
  static void OnActivate(GApplication* application, gpointer self);
  static void OnOpenAddress(GSimpleAction* action, GVariant* address, gpointer self);
  static gboolean OnStopSignal(gpointer self);
  bool TakeLockFile();
  void Quit();
  GtkWindow* DialogParent() const;

  GtkApplication* application_ = nullptr;
  WebKitWebContext* context_;
  std::unique_ptr<SchemeHandler> scheme_;
  FontConfig fonts_;
  std::unique_ptr<AboutWindow> about_;
  std::unique_ptr<Tray> tray_;
  std::unique_ptr<ReadmeWindow> readme_;
  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<ClassShare> share_;
  std::string shared_disc_;
  std::string title_;
  std::string pending_address_;
  const std::function<bool()>* startup_ = nullptr;
  bool started_ = false;
  bool quitting_ = false;
  int lock_fd_ = -1;
};

}  // namespace qil::gtk
