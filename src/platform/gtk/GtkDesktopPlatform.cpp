#include "platform/gtk/GtkDesktopPlatform.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <spawn.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/Exceptions.h"
#include "base/Files.h"
#include "platform/ConfigFile.h"
#include "platform/gtk/AboutWindow.h"
#include "platform/gtk/ClassShare.h"
#include "platform/gtk/Clipboard.h"
#include "platform/gtk/Dialogs.h"
#include "platform/gtk/Log.h"
#include "platform/gtk/MainThread.h"
#include "platform/gtk/MainWindow.h"
#include "platform/gtk/ReadmeWindow.h"
#include "platform/gtk/SchemeHandler.h"
#include "platform/gtk/Tray.h"
#include "platform/gtk/WebView.h"
#include "server/ContentServer.h"
#include "shell/WindowRules.h"

extern char** environ;

namespace qil::gtk {

GtkDesktopPlatform::GtkDesktopPlatform() {
  context_ = NewWebContext();
  scheme_ = std::make_unique<SchemeHandler>(context_);
  SetSchemeHooks({[this](const std::string& scheme) { scheme_->Register(scheme); },
                  [this](const std::string&) { scheme_->Unregister(); }});
  about_ = std::make_unique<AboutWindow>();
  tray_ = std::make_unique<Tray>(
      [this] { about_->Show(); },
      [this] {
        g_action_group_activate_action(G_ACTION_GROUP(application_), ClassShare::kActionName,
                                       nullptr);
      },
      [this] { Quit(); });
}

GtkDesktopPlatform::~GtkDesktopPlatform() {
  share_.reset();
  main_.reset();
  readme_.reset();
  tray_.reset();
  about_.reset();
  SetSchemeHooks({});
  scheme_.reset();
  g_object_unref(context_);
  if (application_) g_object_unref(application_);
  if (lock_fd_ >= 0) close(lock_fd_);
}

bool GtkDesktopPlatform::AskRetry(const std::string& message) {
  return RunOnMainThread<bool>([&] { return RetryDialog(DialogParent(), title_, message); });
}

void GtkDesktopPlatform::ShowError(const std::string& message) {
  std::fprintf(stderr, "orvella: %s\n", message.c_str());
  RunOnMainThread<bool>([&] {
    ShowErrorDialog(DialogParent(), title_, message);
    return true;
  });
}

bool GtkDesktopPlatform::SetClipboardRTF(const std::string& document) {
  return RunOnMainThread<bool>([&] {
    const bool offered = OfferRtf(document);
    LogEvent("clipboard: %zu bytes of RTF %s", document.size(), offered ? "offered" : "refused");
    return offered;
  });
}

uint32_t GtkDesktopPlatform::UtcMillisecondsOfDay() { return SystemUtcMillisecondsOfDay(); }

bool GtkDesktopPlatform::SaveDocument(const std::string& suggestedName, const std::string&,
                                      const std::string& bytes) {
  return RunOnMainThread<bool>([&] {
    const std::string path = SaveFileDialog(DialogParent(), title_, suggestedName);
    if (path.empty()) return false;
    try {
      WriteFileReplacing(path, bytes);
    } catch (const Exception& error) {
      ShowErrorDialog(DialogParent(), title_, error.Message());
      return false;
    }
    LogEvent("saved %zu bytes to %s", bytes.size(), path.c_str());
    return true;
  });
}

std::string GtkDesktopPlatform::ConfigValue(const std::string& name) {
  return ReadConfigValue(ConfigFiles(), name).value_or("");
}

bool GtkDesktopPlatform::LaunchProgram(const std::string& path) {
  if (path.empty()) return false;
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t child = 0;
  const int error = posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ);
  if (error != 0) {
    std::fprintf(stderr, "orvella: cannot start %s\n", path.c_str());
    return false;
  }
  return true;
}

bool GtkDesktopPlatform::ClaimSingleInstance(const std::string& address) {
  application_ = gtk_application_new(kApplicationId, G_APPLICATION_DEFAULT_FLAGS);
  GSimpleAction* open = g_simple_action_new("open-address", G_VARIANT_TYPE_STRING);
  g_signal_connect(open, "activate", G_CALLBACK(OnOpenAddress), this);
  g_action_map_add_action(G_ACTION_MAP(application_), G_ACTION(open));
  g_object_unref(open);
  share_ = std::make_unique<ClassShare>(G_APPLICATION(application_),
                                        [this](bool sharing) { tray_->SetSharing(sharing); });
  g_signal_connect(application_, "activate", G_CALLBACK(OnActivate), this);

  GError* error = nullptr;
  if (!g_application_register(G_APPLICATION(application_), nullptr, &error)) {
    LogEvent("no application registration: %s", error->message);
    g_error_free(error);
    return TakeLockFile();
  }
  if (g_application_get_is_remote(G_APPLICATION(application_))) {
    if (!address.empty()) {
      g_action_group_activate_action(G_ACTION_GROUP(application_), "open-address",
                                     g_variant_new_string(address.c_str()));
    }
    // Running a remote application activates the first copy (its window
    // comes to the front) and hands everything over before it returns.
    char name[] = "orvella";
    char* argv[] = {name, nullptr};
    g_application_run(G_APPLICATION(application_), 1, argv);
    LogEvent("another copy runs; handed it %s", address.empty() ? "the activation" : address.c_str());
    return false;
  }
  // Registered without a session bus: GApplication cannot tell copies apart.
  if (!g_application_get_dbus_connection(G_APPLICATION(application_))) return TakeLockFile();
  return true;
}

bool GtkDesktopPlatform::TakeLockFile() {
  const char* runtime = g_get_user_runtime_dir();
  gchar* path = g_build_filename(runtime, "orvella.lock", nullptr);
  lock_fd_ = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  g_free(path);
  if (lock_fd_ < 0) return true;  // no lock to be had: run rather than refuse
  if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) return true;
  close(lock_fd_);
  lock_fd_ = -1;
  LogEvent("another copy holds the lock file");
  return false;
}

std::optional<std::string> GtkDesktopPlatform::Environment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string GtkDesktopPlatform::WebEngineVersion() {
  return std::to_string(webkit_get_major_version()) + "." +
         std::to_string(webkit_get_minor_version()) + "." +
         std::to_string(webkit_get_micro_version());
}

void GtkDesktopPlatform::RunMainLoop(const std::function<bool()>& startup) {
  startup_ = &startup;
  const guint term = g_unix_signal_add(SIGTERM, OnStopSignal, this);
  const guint interrupt = g_unix_signal_add(SIGINT, OnStopSignal, this);
  char name[] = "orvella";
  char* argv[] = {name, nullptr};
  g_application_run(G_APPLICATION(application_), 1, argv);
  g_source_remove(term);
  g_source_remove(interrupt);
  startup_ = nullptr;
  if (share_) share_->Stop();
  if (main_) gtk_widget_hide(GTK_WIDGET(main_->Window()));
  about_->Hide();
  StoreClipboard();
  LogEvent("main loop ended");
}

void GtkDesktopPlatform::OnActivate(GApplication*, gpointer data) {
  auto* self = static_cast<GtkDesktopPlatform*>(data);
  if (self->started_) {
    if (self->main_) self->main_->Present();
    return;
  }
  self->started_ = true;
  g_application_hold(G_APPLICATION(self->application_));
  const bool running = self->startup_ && (*self->startup_)() && !self->quitting_;
  g_application_release(G_APPLICATION(self->application_));
  if (!running) self->Quit();
}

void GtkDesktopPlatform::OnOpenAddress(GSimpleAction*, GVariant* parameter, gpointer data) {
  auto* self = static_cast<GtkDesktopPlatform*>(data);
  const std::string address = g_variant_get_string(parameter, nullptr);
  if (ClassifyNavigation(address) != NavigationTarget::kInside) {
    LogEvent("refused to open %s", address.c_str());
    return;
  }
  LogEvent("asked to open %s", address.c_str());
  if (self->main_) {
    self->main_->Open(address);
  } else {
    self->pending_address_ = address;
  }
}

gboolean GtkDesktopPlatform::OnStopSignal(gpointer self) {
  LogEvent("asked to stop");
  static_cast<GtkDesktopPlatform*>(self)->Quit();
  return G_SOURCE_CONTINUE;
}

void GtkDesktopPlatform::Quit() {
  quitting_ = true;
  if (readme_) readme_->Decline();
  g_application_quit(G_APPLICATION(application_));
}

GtkWindow* GtkDesktopPlatform::DialogParent() const {
  return main_ && gtk_widget_get_visible(GTK_WIDGET(main_->Window())) ? main_->Window() : nullptr;
}

void GtkDesktopPlatform::SetTitle(const std::string& title) {
  title_ = title;
  tray_->SetTitle(title);
  about_->SetTitle(title);
  g_set_application_name("Orvella");
}

void GtkDesktopPlatform::SetAboutImage(const std::string& jpeg) { about_->SetPicture(jpeg); }

void GtkDesktopPlatform::AddFontFolder(const std::string& folder) {
  if (!fonts_.AddFolder(folder)) LogEvent("cannot show the fonts of %s", folder.c_str());
}

void GtkDesktopPlatform::RemoveFontFolder(const std::string&) { fonts_.RemoveFolder(); }

bool GtkDesktopPlatform::ShowReadme(const std::string& address) {
  if (quitting_) return false;
  readme_ = std::make_unique<ReadmeWindow>(context_, title_);
  const bool accepted = readme_->Run(address) && !quitting_;
  // Once accepted, the hidden readme lives on until the main window's view
  // has taken over its renderer.
  if (!accepted) readme_.reset();
  return accepted;
}

void GtkDesktopPlatform::ActivateTray() {
  // The program has started on its disc: from now on it may be shared.
  if (share_) share_->Offer(shared_disc_, title_);
  tray_->Activate();
}

void GtkDesktopPlatform::ShowMainWindow(const std::string& address) {
  main_ = std::make_unique<MainWindow>(
      application_, context_, readme_ ? readme_->View() : nullptr, title_, [this] { Quit(); },
      [this] { about_->Show(); });
  readme_.reset();
  main_->Open(pending_address_.empty() ? address : pending_address_);
  pending_address_.clear();
}

}  // namespace qil::gtk
