// "Share with the class": the desktop program serves the disc it has open to
// the students' browsers by running the classroom server (orvella-serve) as
// a child, and shows the teacher the address the students type.
//
// The application action "app.share" is a boolean state, true while the
// server starts or runs; activating it toggles sharing (the tray's entry and
// D-Bus callers alike). It is offered (enabled) once Offer has named the disc.
//
// Guarantees:
//  - The server is orvella-serve next to the running program, else the one
//    on PATH, started on port 8080; when it ends with status 2 before it
//    listens (as it does when the port is taken), it is started once more
//    on a free port.
//  - The main loop never blocks on the child's start: its stderr is read
//    asynchronously, bounded by kStartSeconds. The dialog then shows the
//    "Students open" addresses (or the listening address when there are
//    none); a failure shows the server's last line in an error box.
//  - Stopping (the action, the dialog's "Stop sharing", Stop, destruction)
//    sends SIGTERM and waits at most kStopSeconds (the windows do not redraw
//    meanwhile), then kills the child. The child also gets SIGTERM when the
//    program dies without stopping it.
//  - Every step is written to the program's debug log ("sharing: ...").
//
// Main thread only.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

namespace qil::gtk {

// The command that starts the classroom server on archive (made absolute
// against the current directory) at port, its access log discarded:
// orvella-serve from own_folder when it is an executable there, else the
// first on PATH. Empty when there is none.
std::vector<std::string> ServeCommand(const std::string& own_folder, const std::string& archive,
                                      int port);

// What the server has said on stderr while it starts.
struct ServeStartup {
  std::string listening;              // "Listening on ADDRESS"
  std::vector<std::string> students;  // "Students open ADDRESS", in order
  std::string last_line;              // the last line that was not empty

  // Notes one line (without its newline).
  void Note(std::string line);
  // The addresses for the students: the "Students open" ones, else the
  // listening one.
  std::vector<std::string> Addresses() const;
};

class ClassShare {
 public:
  static constexpr const char* kActionName = "share";
  static constexpr int kPort = 8080;
  static constexpr int kStartSeconds = 5;
  static constexpr int kStopSeconds = 5;

  // Adds the (disabled) action to application. on_change hears whether
  // sharing is on after every change.
  ClassShare(GApplication* application, std::function<void(bool sharing)> on_change);
  ~ClassShare();
  ClassShare(const ClassShare&) = delete;
  ClassShare& operator=(const ClassShare&) = delete;

  // The disc to share (the one the program opened) and the title of the
  // dialogs; enables the action.
  void Offer(const std::string& archive, const std::string& title);
  void Start();
  void Stop();
  bool Sharing() const { return child_ != nullptr; }

 private:
  void Launch(int port);  // the child and the start's time-out
  bool Spawn(int port, std::string& error);
  void ReadLine();
  void OnLine(const char* line);
  void OnStderrEnded();
  void OnExited();
  void OnStartTimeout();
  void ShowAddresses();
  void Fail(const std::string& message);
  void EndChild();
  void SetState(bool sharing);

  static void OnChangeState(GSimpleAction* action, GVariant* value, gpointer self);

  GApplication* application_;
  GSimpleAction* action_;
  std::function<void(bool)> on_change_;
  std::string archive_;
  std::string title_;

  GSubprocess* child_ = nullptr;
  GDataInputStream* stderr_ = nullptr;
  GCancellable* cancel_ = nullptr;  // the child's pending reads and waits
  int port_ = kPort;
  bool listening_ = false;
  ServeStartup startup_;
  guint start_timer_ = 0;
  guint settle_timer_ = 0;
  GtkWidget* dialog_ = nullptr;
  GtkWidget* addresses_label_ = nullptr;
};

}  // namespace qil::gtk
