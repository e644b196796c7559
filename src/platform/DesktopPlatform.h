// What the desktop program's start-up and shutdown need of the operating
// system and the toolkit, beyond what the engine itself needs (Platform).
//
// DesktopProgram (shell/) runs the program's entry, start-up and shutdown
// against this interface only, so their order and every failure can be tested
// without a display through a recording fake. The GTK implementation
// (platform/gtk) does the real work: configuration file, single instance,
// fontconfig, windows, tray and dialogs.
//
// Every call is made on the main thread. The methods inherited from Platform
// may come from any thread (the engine answers requests off the main thread).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace qil {

class DesktopPlatform : public Platform {
 public:
  // A value of the program's configuration ("PatchLevel", "PatchPath"); "" when missing.
  virtual std::string ConfigValue(const std::string& name) = 0;

  // Starts the program file path in the background, without arguments.
  // False when it could not be started.
  virtual bool LaunchProgram(const std::string& path) = 0;

  // Makes this process the only running copy. When another copy runs, hands
  // it address (it brings its window to the front and, when address is not
  // empty, opens it there) and answers false.
  virtual bool ClaimSingleInstance(const std::string& address) = 0;

  // An environment variable; nullopt when unset.
  virtual std::optional<std::string> Environment(const std::string& name) = 0;

  // The version of the web engine the windows embed ("2.50.6"); "" when unknown.
  virtual std::string WebEngineVersion() = 0;

  // Runs the main loop. startup runs once when the loop starts; when it
  // answers false the loop ends at once. Otherwise the loop runs until the
  // main window closes, "Exit" is chosen, or the process is asked to stop
  // (SIGTERM, SIGINT). Answers when the loop has ended.
  virtual void RunMainLoop(const std::function<bool()>& startup) = 0;

  // The title of the windows, the tray icon's hint and its menu's first item.
  virtual void SetTitle(const std::string& title) = 0;

  // The picture of the about window: JPEG bytes ("" or undecodable: an empty window).
  virtual void SetAboutImage(const std::string& jpeg) = 0;

  // Makes the TrueType fonts in folder visible to the web view's renderers
  // (and withdraws them).
  virtual void AddFontFolder(const std::string& folder) = 0;
  virtual void RemoveFontFolder(const std::string& folder) = 0;

  // Shows the readme window on address and waits until it closes. True when
  // the user accepted; any other way of closing it declines.
  virtual bool ShowReadme(const std::string& address) = 0;

  // Shows the tray icon (where the desktop has a tray).
  virtual void ActivateTray() = 0;

  // Creates the main window and shows it on address. Closing it (after the
  // user confirmed) ends the main loop.
  virtual void ShowMainWindow(const std::string& address) = 0;
};

}  // namespace qil
